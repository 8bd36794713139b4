#pragma once
// The bank reader changes the case row while it reads: it calls the store
// at the holder, the relations, the totals and the notes. The reading thread
// does not own the store (the writing thread and its connection do), so it
// hands the reader a store that keeps each call with a copy of the values as
// they stood, and the writing thread plays the calls back on the real store,
// in order, when it takes the case.
#include <string>
#include <vector>

#include "import/case_store.h"

namespace crv {

// One call of the reader, with what it passed.
struct ChiamataStore {
    enum class Tipo { ScriviPratica, LeggiContatore, AnteponiMemo, SommaTotaliRapporto, ImpostaTotali, InserisciRata };
    Tipo tipo = Tipo::LeggiContatore;
    Case valori;              // the values at the call (those that take them)
    std::size_t memo = 0;     // ScriviPratica: the Memo text's length at the call
    std::string testo;        // AnteponiMemo
    TipoRata rata = TipoRata::Rata;
};

class RecordedStore final : public CaseStore {
public:
    // `limiti`: those of the store the calls are played on (it lives longer).
    explicit RecordedStore(const LimitiValori* limiti) : limiti_(limiti) {}

    // The calls made since the last take, in order.
    std::vector<ChiamataStore> take();

    const LimitiValori* limiti() override { return limiti_; }
    void ScriviPratica(const Case& values, const std::string& memo) override;
    void LeggiContatore() override;
    void AnteponiMemo(std::string_view text) override;
    void SommaTotaliRapporto(const Case& values) override;
    void ImpostaTotali(const Case& values) override;
    void InserisciRata(Case& values, TipoRata kind) override;

    // The reader never asks for these: they belong to the writing thread.
    void begin() override;
    void commit() override;
    void rollback() override;
    std::int64_t AddLotto(const RunParams&) override;
    void SalvaNumPratiche(std::int64_t, int) override;

private:
    void add(ChiamataStore::Tipo tipo, const Case* values);

    const LimitiValori* limiti_;
    std::vector<ChiamataStore> chiamate_;
};

// Plays the calls back on `store`. `memo` is the case's Memo text when its
// reading ended: a Memo text at a call is its beginning.
void riproduci(std::vector<ChiamataStore>& chiamate, const std::string& memo, CaseStore& store);

}  // namespace crv
