#pragma once
// The longest text each case value may take for the field the writer stores
// it in whole (a longer one is refused there). A reader checks a value
// against it before copying it out of the document: a value no field could
// ever hold (longer than kCopiaSicura and than its field) is refused as soon
// as it is met, instead of costing its size once more in the case and again
// as the database's text. Shorter values are left to the writer, which
// decides as it always did.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "import/case.h"

namespace crv {

class LimitiValori {
public:
    // Above this many bytes a value is checked as it is read.
    static constexpr std::size_t kCopiaSicura = 64 * 1024;

    // `valore` goes whole into `campo` of `tabella`, which holds `dimensione` characters.
    void imposta(std::string Case::* valore, std::string tabella, std::string campo, int dimensione);

    // Throws db::FieldTooLong when the text of `element`, or `text`, is too
    // long for the field of `valore` (see above).
    void verifica(std::string Case::* valore, pugi::xml_node element) const;
    void verifica(std::string Case::* valore, std::string_view text) const;

private:
    struct Limite {
        std::string Case::* valore;
        std::string tabella;
        std::string campo;
        int dimensione;
    };
    const Limite* limiteDi(std::string Case::* valore) const;

    std::vector<Limite> limiti_;
};

// The element's text as a case value, checked first when there are limits.
std::string testoValore(pugi::xml_node element, std::string Case::* valore, const LimitiValori* limiti);

}  // namespace crv
