#include "import/value_limits.h"

#include "db/field_length.h"
#include "text/encoding.h"
#include "xml/xml_document.h"

namespace crv {
namespace {

constexpr std::size_t kShown = 40;  // characters of the value the message shows

}  // namespace

void LimitiValori::imposta(std::string Case::* valore, std::string tabella, std::string campo, int dimensione)
{
    limiti_.push_back({valore, std::move(tabella), std::move(campo), dimensione});
}

// The smallest field the value goes to.
const LimitiValori::Limite* LimitiValori::limiteDi(std::string Case::* valore) const
{
    const Limite* smallest = nullptr;
    for (const Limite& l : limiti_)
        if (l.valore == valore && l.dimensione >= 0 && (!smallest || l.dimensione < smallest->dimensione))
            smallest = &l;
    return smallest;
}

void LimitiValori::verifica(std::string Case::* valore, pugi::xml_node element) const
{
    if (nodeTextSize(element) <= kCopiaSicura) return;
    const Limite* limite = limiteDi(valore);
    if (limite == nullptr) return;
    const std::size_t length = nodeTextLength(element);
    if (length > static_cast<std::size_t>(limite->dimensione))
        throw db::FieldTooLong(limite->tabella, limite->campo, limite->dimensione, length,
                               nodeTextStart(element, kShown + 1));
}

void LimitiValori::verifica(std::string Case::* valore, std::string_view text) const
{
    if (text.size() <= kCopiaSicura) return;
    const Limite* limite = limiteDi(valore);
    if (limite == nullptr) return;
    const std::size_t length = utf8Length(text);
    if (length > static_cast<std::size_t>(limite->dimensione))
        throw db::FieldTooLong(limite->tabella, limite->campo, limite->dimensione, length,
                               std::string(text.substr(0, utf8Offset(text, kShown + 1))));
}

std::string testoValore(pugi::xml_node element, std::string Case::* valore, const LimitiValori* limiti)
{
    if (limiti != nullptr) limiti->verifica(valore, element);
    return nodeText(element);
}

}  // namespace crv
