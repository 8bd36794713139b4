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

// The calls of one case. The entries are kept from case to case (with the
// room their texts took), so a call costs a copy, not an allocation.
struct ChiamateStore {
    std::vector<ChiamataStore> voci;
    std::size_t quante = 0;  // the first `quante` entries are this case's
};

class RecordedStore final : public CaseStore {
public:
    // `limiti`: those of the store the calls are played on (it lives longer).
    explicit RecordedStore(const LimitiValori* limiti) : limiti_(limiti) {}

    // From now on the calls go to `target`, emptied first.
    void registraIn(ChiamateStore& target);

    const LimitiValori* limiti() override { return limiti_; }
    void ScriviPratica(const Case& values, const std::string& memo) override;
    void LeggiContatore() override;
    void AnteponiMemo(std::string_view text) override;
    void SommaTotaliRapporto(const Case& values) override;
    void ImpostaTotali(const Case& values) override;
    void InserisciRata(Case& values, TipoRata kind) override;

    // The reader never asks for these: they belong to the writing thread.
    void begin(const std::function<void(std::string_view)>&) override;
    void commit() override;
    void rollback() override;
    std::int64_t AddLotto(const RunParams&) override;
    void SalvaNumPratiche(std::int64_t, int) override;

private:
    ChiamataStore& add(ChiamataStore::Tipo tipo, const Case* values);

    const LimitiValori* limiti_;
    ChiamateStore* target_ = nullptr;
};

// Plays the calls back on `store`, those made before the case's holder once
// the holder has added the case's row. `memo` is the case's Memo text when
// its reading ended: a Memo text at a call is its beginning.
void riproduci(ChiamateStore& chiamate, const std::string& memo, CaseStore& store);

}  // namespace crv
