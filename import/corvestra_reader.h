#pragma once
// Reads one case element of the finance company's format (PRATICA) into the
// Case values and builds its Memo text from the sections the operator chose.
// The same section walk hands each child of a bank-format `documento` to the
// bank reader.
#include <array>

#include <pugixml.hpp>

#include "import/case.h"
#include "import/memo.h"
#include "numbers/regional.h"

namespace crv {

// Receives, in the bank format, each child of the case element.
class BankChildReader {
public:
    virtual ~BankChildReader() = default;
    virtual void leggiFiglio(pugi::xml_node caseElement, pugi::xml_node child) = 0;
};

class LimitiValori;

struct ReaderOptions {
    // Chk_Sezioni_da_Importare(0..5); only 0, 4 and 5 change what is read.
    std::array<bool, 6> sezioni{true, true, true, true, true, true};
    bool modoDocumento = false;
    // The fields values go to whole, to refuse a huge one before copying it
    // (none in a test run).
    const LimitiValori* limiti = nullptr;
};

// Walks the sections of one case element. Throws CaseInputError when an
// amount is not a number.
void leggiPratica(pugi::xml_node caseElement, const ReaderOptions& options, const Regional& regional,
                  Case& values, MemoText& memo, BankChildReader* bank);

// Converts an element's text as an amount under the regional settings;
// throws CaseInputError naming the element when it is not a number.
Amount importoDi(pugi::xml_node element, const Regional& regional);

// Header line of the movements table in the memo (80 characters).
extern const char* const kIntestazioneMovimenti;

}  // namespace crv
