#pragma once
// A value of the input file that the import cannot take (an amount that is
// not a number, an attribute the format requires missing, ...). The driver
// adds the file and the case to the message.
#include <stdexcept>
#include <string>
#include <string_view>

#include "numbers/regional.h"

namespace crv {

class CaseInputError : public std::runtime_error {
public:
    CaseInputError(std::string what, std::string element, std::string text)
        : std::runtime_error(std::move(what)), element_(std::move(element)), text_(std::move(text))
    {
    }
    const std::string& element() const { return element_; }
    const std::string& text() const { return text_; }

private:
    std::string element_;
    std::string text_;
};

// The start of the reason given for an amount the regional settings cannot read.
inline constexpr std::string_view kImportoNonNumerico = "importo non numerico";

// An amount the regional settings cannot read, with the form they expect.
inline CaseInputError importoNonNumerico(std::string element, std::string text, const Regional& regional)
{
    return CaseInputError(std::string(kImportoNonNumerico) + "; forma attesa " + regional.amountForm(),
                          std::move(element), std::move(text));
}

}  // namespace crv
