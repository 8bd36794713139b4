#include "import/recorded_store.h"

#include <stdexcept>

namespace crv {

void RecordedStore::registraIn(ChiamateStore& target)
{
    target_ = &target;
    target_->quante = 0;
}

ChiamataStore& RecordedStore::add(ChiamataStore::Tipo tipo, const Case* values)
{
    if (target_ == nullptr) throw std::logic_error("chiamate registrate senza una pratica");
    std::vector<ChiamataStore>& voci = target_->voci;
    if (target_->quante == voci.size()) voci.emplace_back();
    ChiamataStore& c = voci[target_->quante++];
    c.tipo = tipo;
    if (values != nullptr) c.valori = *values;
    return c;
}

void RecordedStore::ScriviPratica(const Case& values, const std::string& memo)
{
    add(ChiamataStore::Tipo::ScriviPratica, &values).memo = memo.size();
}

void RecordedStore::LeggiContatore()
{
    add(ChiamataStore::Tipo::LeggiContatore, nullptr);
}

void RecordedStore::AnteponiMemo(std::string_view text)
{
    add(ChiamataStore::Tipo::AnteponiMemo, nullptr).testo = text;
}

void RecordedStore::SommaTotaliRapporto(const Case& values)
{
    add(ChiamataStore::Tipo::SommaTotaliRapporto, &values);
}

void RecordedStore::ImpostaTotali(const Case& values)
{
    add(ChiamataStore::Tipo::ImpostaTotali, &values);
}

void RecordedStore::InserisciRata(Case& values, TipoRata kind)
{
    // The reader goes on with the number the store gave the instalment.
    numeroRataVuoto(values, kind);
    add(ChiamataStore::Tipo::InserisciRata, &values).rata = kind;
}

namespace {
[[noreturn]] void notForTheReader(const char* what)
{
    throw std::logic_error(std::string(what) + ": non spetta a chi legge le pratiche");
}
}  // namespace

void RecordedStore::begin(const std::function<void(std::string_view)>&) { notForTheReader("begin"); }
void RecordedStore::commit() { notForTheReader("commit"); }
void RecordedStore::rollback() { notForTheReader("rollback"); }
std::int64_t RecordedStore::AddLotto(const RunParams&) { notForTheReader("AddLotto"); }
void RecordedStore::SalvaNumPratiche(std::int64_t, int) { notForTheReader("SalvaNumPratiche"); }

namespace {

void gioca(ChiamataStore& c, const std::string& memo, CaseStore& store)
{
    using T = ChiamataStore::Tipo;
    switch (c.tipo) {
    case T::ScriviPratica:
        // The memo at the holder is the case's memo form, which the
        // finished memo begins with; later sections only appended.
        if (c.memo == memo.size())
            store.ScriviPratica(c.valori, memo);
        else
            store.ScriviPratica(c.valori, memo.substr(0, c.memo));
        break;
    case T::LeggiContatore: store.LeggiContatore(); break;
    case T::AnteponiMemo: store.AnteponiMemo(c.testo); break;
    case T::SommaTotaliRapporto: store.SommaTotaliRapporto(c.valori); break;
    case T::ImpostaTotali: store.ImpostaTotali(c.valori); break;
    case T::InserisciRata: store.InserisciRata(c.valori, c.rata); break;
    }
}

}  // namespace

void riproduci(ChiamateStore& chiamate, const std::string& memo, CaseStore& store)
{
    using T = ChiamataStore::Tipo;
    std::vector<ChiamataStore>& voci = chiamate.voci;
    const std::size_t quante = chiamate.quante;
    // What a case gives before its holder waits for the row the holder adds:
    // the holder's row and its counter come first, then the calls that
    // waited, in their order, then the rest. Without a holder nothing has a
    // row to go to (the reader refuses such a case).
    std::size_t riga = 0;
    while (riga < quante && voci[riga].tipo != T::ScriviPratica) ++riga;
    if (riga == quante) return;
    // A relation's totals that waited are added to the row once: the row
    // does not also start from the amounts they set.
    for (std::size_t i = 0; i < riga; ++i) {
        if (voci[i].tipo != T::SommaTotaliRapporto) continue;
        Case& valori = voci[riga].valori;
        valori.Capitale = Amount();
        valori.InteressiMora = Amount();
        valori.SpeseRecupero = Amount();
        break;
    }
    gioca(voci[riga], memo, store);
    std::size_t dopo = riga + 1;
    if (dopo < quante && voci[dopo].tipo == T::LeggiContatore) gioca(voci[dopo++], memo, store);
    for (std::size_t i = 0; i < riga; ++i) gioca(voci[i], memo, store);
    for (std::size_t i = dopo; i < quante; ++i) gioca(voci[i], memo, store);
}

}  // namespace crv
