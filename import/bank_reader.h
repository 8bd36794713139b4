#pragma once
// Reads the bank group's case format: each child of a `documento` element,
// values mostly in attributes, the case row written at the first holder and
// changed while the rest of the case is read.
#include <memory>

#include "import/case_store.h"
#include "import/corvestra_reader.h"

namespace crv {

class BankReader final : public BankChildReader {
public:
    BankReader(Case& values, MemoText& memo, CaseStore& store, const Regional& regional)
        : v_(values), memo_(memo), store_(store), regional_(regional)
    {
    }

    // Per-case resets that are the reader's own (called at each new case).
    void nuovaPratica();
    void leggiFiglio(pugi::xml_node caseElement, pugi::xml_node child) override;

private:
    void intestatario(pugi::xml_node e);
    void garante(pugi::xml_node e);
    void rapporti(pugi::xml_node e);
    void rapporto(pugi::xml_node r, bool rigaRapporto);
    void rata(pugi::xml_node f);
    void totale(pugi::xml_node r);
    void totali(pugi::xml_node e);
    void note(pugi::xml_node e);
    void recapiti(pugi::xml_node e);
    void azzeraRapporto();
    Amount importo(pugi::xml_node element, std::string_view text) const;
    // A value the writer stores whole, checked against its field first.
    void prendi(std::string Case::* valore, std::string_view testo);

    Case& v_;
    MemoText& memo_;
    CaseStore& store_;
    const Regional& regional_;
    std::string tipoNumero_;        // TipoNumero: kept across cases
    std::string garanteProvincia_;  // GaranteProvincia: reset at each case
};

}  // namespace crv
