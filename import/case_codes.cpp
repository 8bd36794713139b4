#include "import/case_codes.h"

#include <functional>
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

std::string codiceDaScrivere(pugi::xml_node caseElement, bool modoDocumento)
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
            return code;
        }
    }
    return modoDocumento ? std::string() : code;
}

std::string_view CodiciFile::codice(std::size_t i) const
{
    const std::uint64_t from = i == 0 ? 0 : fine_[i - 1];
    return std::string_view(testo_).substr(from, fine_[i] - from);
}

// Twice the places, each code put again: half of them at most are taken.
void CodiciFile::allarga()
{
    std::vector<std::uint32_t> posti(posti_.empty() ? 1024 : 2 * posti_.size(), 0);
    const std::size_t mask = posti.size() - 1;
    for (std::size_t i = 0; i < size(); ++i) {
        std::size_t at = std::hash<std::string_view>{}(codice(i)) & mask;
        while (posti[at] != 0) at = (at + 1) & mask;
        posti[at] = static_cast<std::uint32_t>(i + 1);
    }
    posti_.swap(posti);
}

void CodiciFile::aggiungi(std::string_view code)
{
    if (code.empty()) {
        ++senzaCodice_;
        return;
    }
    if (2 * (size() + 1) > posti_.size()) allarga();
    const std::size_t mask = posti_.size() - 1;
    std::size_t at = std::hash<std::string_view>{}(code) & mask;
    for (; posti_[at] != 0; at = (at + 1) & mask) {
        const std::size_t i = posti_[at] - 1;
        if (codice(i) == code) {
            ++pratiche_[i];
            return;
        }
    }
    testo_ += code;
    fine_.push_back(testo_.size());
    pratiche_.push_back(1);
    posti_[at] = static_cast<std::uint32_t>(size());
}

}  // namespace crv
