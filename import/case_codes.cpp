#include "import/case_codes.h"

#include <string_view>

#include "xml/xml_document.h"

namespace crv {
namespace {

// Element names as the readers compare them: ASCII letters in any case.
// Most names differ at their first letter: no length is measured first.
bool named(pugi::xml_node node, std::string_view upper)
{
    const char* name = node.name();
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (i >= upper.size() || c != upper[i]) return false;
    }
    return i == upper.size();
}

// The last CODICE_PRATICA among the children of a section.
void codiceDellaSezione(pugi::xml_node section, std::string& code)
{
    for (const pugi::xml_node e : section.children())
        if (e.type() == pugi::node_element && named(e, "CODICE_PRATICA")) code = nodeText(e);
}

}  // namespace

std::optional<std::string> codiceDaScrivere(pugi::xml_node caseElement, bool modoDocumento)
{
    std::string code;
    for (const pugi::xml_node s : caseElement.children()) {
        if (s.type() != pugi::node_element) continue;
        if (named(s, "DATI_IDENTIFICATIVI")) {
            codiceDellaSezione(s, code);
        } else if (!modoDocumento) {
            if (named(s, "CLIENTE") || named(s, "DATI_CONTRATTO") || named(s, "AFFIDAMENTI"))
                codiceDellaSezione(s, code);
        } else if (named(s, "POSIZIONE")) {
            for (const pugi::xml_attribute a : s.attributes())
                if (std::string_view(a.name()) == "numero") code = a.value();
        } else if (named(s, "INTESTATARIO")) {
            // The bank reader adds the row here, with the code read so far.
            return code.empty() ? std::nullopt : std::optional<std::string>(code);
        }
    }
    if (modoDocumento || code.empty()) return std::nullopt;
    return code;
}

void CodiciFile::aggiungi(pugi::xml_node caseElement, bool modoDocumento)
{
    std::optional<std::string> code = codiceDaScrivere(caseElement, modoDocumento);
    if (!code) return;
    const auto [it, inserted] = indice_.try_emplace(*code, codici.size());
    if (inserted) {
        codici.push_back(std::move(*code));
        pratiche.push_back(1);
    } else {
        ++pratiche[it->second];
    }
}

CodiciFile codiciDelFile(const std::vector<pugi::xml_node>& cases, bool modoDocumento)
{
    CodiciFile out;
    for (const pugi::xml_node element : cases) out.aggiungi(element, modoDocumento);
    return out;
}

}  // namespace crv
