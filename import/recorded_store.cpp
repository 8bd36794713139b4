#include "import/recorded_store.h"

#include <stdexcept>

namespace crv {

std::vector<ChiamataStore> RecordedStore::take()
{
    std::vector<ChiamataStore> out = std::move(chiamate_);
    chiamate_.clear();
    return out;
}

void RecordedStore::add(ChiamataStore::Tipo tipo, const Case* values)
{
    ChiamataStore& c = chiamate_.emplace_back();
    c.tipo = tipo;
    if (values != nullptr) c.valori = *values;
}

void RecordedStore::ScriviPratica(const Case& values, const std::string& memo)
{
    add(ChiamataStore::Tipo::ScriviPratica, &values);
    chiamate_.back().memo = memo.size();
}

void RecordedStore::LeggiContatore()
{
    add(ChiamataStore::Tipo::LeggiContatore, nullptr);
}

void RecordedStore::AnteponiMemo(std::string_view text)
{
    add(ChiamataStore::Tipo::AnteponiMemo, nullptr);
    chiamate_.back().testo = text;
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
    add(ChiamataStore::Tipo::InserisciRata, &values);
    chiamate_.back().rata = kind;
}

namespace {
[[noreturn]] void notForTheReader(const char* what)
{
    throw std::logic_error(std::string(what) + ": non spetta a chi legge le pratiche");
}
}  // namespace

void RecordedStore::begin() { notForTheReader("begin"); }
void RecordedStore::commit() { notForTheReader("commit"); }
void RecordedStore::rollback() { notForTheReader("rollback"); }
std::int64_t RecordedStore::AddLotto(const RunParams&) { notForTheReader("AddLotto"); }
void RecordedStore::SalvaNumPratiche(std::int64_t, int) { notForTheReader("SalvaNumPratiche"); }

void riproduci(std::vector<ChiamataStore>& chiamate, const std::string& memo, CaseStore& store)
{
    using T = ChiamataStore::Tipo;
    for (ChiamataStore& c : chiamate) {
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
}

}  // namespace crv
