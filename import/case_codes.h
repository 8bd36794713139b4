#pragma once
// The case codes a delivery will store in [Tabella Pratiche].posizione, read
// from the case elements before anything is written, so that a run can tell
// which of them the archive already holds and which the file repeats.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace crv {

// The code the writer will store for this case element, by the rules the
// readers follow: in the Corvestra format the last CODICE_PRATICA of the
// identification, customer, contract and assignment sections; in the bank
// format the `numero` of the last `posizione` (or the identification
// section's CODICE_PRATICA) before the first `intestatario`, the element
// that adds the row. Empty when the case has none (nor a holder, in the bank
// format): such a case cannot be recognised in the archive.
std::string codiceDaScrivere(pugi::xml_node caseElement, bool modoDocumento);

// The distinct codes of a file's cases, in order of first appearance, each
// with the number of cases that carry it (compared byte for byte). Kept in
// a few flat arrays: a delivery of millions of cases costs some 30 bytes a
// code, not the hundred of a string and a map entry each.
class CodiciFile {
public:
    // Counts the code of one more case, as the cases come (empty: a case
    // without a code).
    void aggiungi(std::string_view code);

    // The distinct codes.
    std::size_t size() const { return fine_.size(); }
    std::string_view codice(std::size_t i) const;
    // The cases that carry code `i`.
    int pratiche(std::size_t i) const { return static_cast<int>(pratiche_[i]); }
    // The cases without a code.
    int senzaCodice() const { return senzaCodice_; }

private:
    void allarga();

    std::string testo_;                 // the codes one after the other
    std::vector<std::uint64_t> fine_;   // where each ends in testo_
    std::vector<std::uint32_t> pratiche_;
    std::vector<std::uint32_t> posti_;  // open addressing: index + 1 of a code, 0 free
    int senzaCodice_ = 0;
};

}  // namespace crv
