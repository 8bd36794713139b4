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

Amount importoDelCampo(std::string element, std::string_view text, const Regional& regional)
{
    try {
        if (const auto value = Amount::parseRegional(text, regional)) return *value;
    } catch (const AmountOverflow& overflow) {
        throw CaseInputError(std::string(overflow.what()) + " dai campi importo: da " +
                                 Amount::minimum().toRegional(regional) + " a " + Amount::maximum().toRegional(regional),
                             std::move(element), text);
    }
    throw CaseInputError(std::string(kImportoNonNumerico) + "; forma attesa " + regional.amountForm(),
                         std::move(element), text);
}

}  // namespace crv
