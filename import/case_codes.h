#pragma once
// The case codes a delivery will store in [Tabella Pratiche].posizione, read
// from the case elements before anything is written, so that a run can tell
// which of them the archive already holds and which the file repeats.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

namespace crv {

// The code the writer will store for this case element, by the rules the
// readers follow: in the Corvestra format the last CODICE_PRATICA of the
// identification, customer, contract and assignment sections; in the bank
// format the `numero` of the last `posizione` (or the identification
// section's CODICE_PRATICA) before the first `intestatario`, the element
// that adds the row. Nothing when the case adds no row (a bank case without
// holder) or its code is empty: such a case cannot be recognised.
std::optional<std::string> codiceDaScrivere(pugi::xml_node caseElement, bool modoDocumento);

// The distinct codes of a file's cases, in order of first appearance, each
// with the number of cases that carry it (compared byte for byte).
struct CodiciFile {
    std::vector<std::string> codici;
    std::vector<int> pratiche;

    // Counts the code of one more case element, as the cases come.
    void aggiungi(pugi::xml_node caseElement, bool modoDocumento);

private:
    std::unordered_map<std::string, std::size_t> indice_;
};

CodiciFile codiciDelFile(const std::vector<pugi::xml_node>& cases, bool modoDocumento);

}  // namespace crv
