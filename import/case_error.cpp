#include "import/case_error.h"

#include "text/encoding.h"

namespace crv {

CaseInputError::CaseInputError(std::string what, std::string element, std::string_view text)
    : std::runtime_error(std::move(what)), element_(std::move(element))
{
    const std::size_t end = utf8Offset(text, kShown);
    text_ = std::string(text.substr(0, end));
    if (end < text.size()) text_ += "...";
}

PraticaSenzaIntestatario::PraticaSenzaIntestatario()
    : std::runtime_error("manca l'elemento intestatario (senza, i dati della pratica non avrebbero una riga loro "
                         "in archivio)")
{
}

}  // namespace crv
