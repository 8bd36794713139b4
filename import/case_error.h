#pragma once
// A value of the input file that the import cannot take (an amount that is
// not a number, an attribute the format requires missing, ...). The driver
// adds the file and the case to the message.
#include <stdexcept>
#include <string>
#include <string_view>

#include "numbers/amount.h"
#include "numbers/regional.h"

namespace crv {

class CaseInputError : public std::runtime_error {
public:
    // `text` is the value as the file holds it; the message shows at most
    // its first kShown characters (a value may be huge).
    CaseInputError(std::string what, std::string element, std::string_view text);

    const std::string& element() const { return element_; }
    const std::string& text() const { return text_; }

    static constexpr std::size_t kShown = 200;

private:
    std::string element_;
    std::string text_;
};

// A bank case that ends without a holder. The holder adds the case's row:
// without it nothing the case gives would have a row of its own.
class PraticaSenzaIntestatario : public std::runtime_error {
public:
    PraticaSenzaIntestatario();
};

// The start of the reason given for an amount the regional settings cannot read.
inline constexpr std::string_view kImportoNonNumerico = "importo non numerico";

// The amount of an element's text; CaseInputError when the regional
// settings cannot read it ("importo non numerico", with the form they
// expect) or it is beyond the range of the amount fields (with its ends).
Amount importoDelCampo(std::string element, std::string_view text, const Regional& regional);

}  // namespace crv
