// crvxml-gen-bank: writes a large delivery of the bank group's format, one
// `documento` per case, values in attributes, with holders, co-holders,
// current-account and loan relations with their instalments, totals, notes
// and phone lists. The same seed gives the same bytes.
#include <cstdio>
#include <exception>

#include "gen_common.h"

namespace crv::bench {
namespace {

const char* const kUsage =
    "Uso: crvxml-gen-bank N OUT.xml [--seed S]\n"
    "Scrive N pratiche nel formato banca (radice root, elementi documento).\n";

constexpr std::array<std::string_view, 4> kProcedure = {"BPX01", "BPX02", "REC-SOFF", "INC07"};
constexpr std::array<std::string_view, 4> kTipiTel = {"casa", "cellulare", "lavoro", "fax"};
constexpr std::array<std::string_view, 4> kTipiRapporto = {"CONTO CORRENTE", "MUTUO IPOTECARIO", "FIDO DI CASSA",
                                                         "PRESTITO PERSONALE"};
constexpr std::array<std::string_view, 6> kNote = {
    "SOLLECITO TELEFONICO: il cliente dichiara di aver gi\xE0 pagato",
    "inviata raccomandata A/R all'indirizzo di residenza",
    "promessa di pagamento di 200 euro entro il 30 del mese",
    "il garante non risponde, numero inesistente",
    "pratica passata in sofferenza, revocati gli affidamenti",
    "cliente trasferito all'estero? verificare in anagrafe"};
constexpr std::array<std::string_view, 3> kFonti = {"ANAGRAFE TRIBUTARIA", "ELENCO ABBONATI", "CLIENTE"};

std::string importo(Rng& rng, std::int64_t cents)
{
    return importoItaliano(cents, cents >= 100000 && rng.percent(50));
}

std::string dataCasualeIt(Rng& rng, int fromYear, int toYear)
{
    const Data d = dataCasuale(rng, fromYear, toYear);
    return dataItaliana(d.year, d.month, d.day);
}

void rapporto(XmlWriter& w, Rng& rng, int rate, bool daRecup)
{
    w.open(3, "rapporto");
    w.empty(4, "abi", {{"valore", "0" + rng.digits(4)}});
    w.empty(4, "cab", {{"valore", rng.digits(5)}});
    w.empty(4, "numero", {{"valore", rng.digits(12)}});
    w.empty(4, "data_accensione", {{"valore", dataCasualeIt(rng, 2005, 2022)}});
    w.empty(4, "tipo_rapporto", {{"valore", rng.pick(kTipiRapporto)}});
    if (rng.percent(30)) w.empty(4, "servizio", {{"valore", "RECUPERO CREDITI"}});
    if (daRecup) w.empty(4, "da_recup", {{"valore", importo(rng, rng.between64(10000, 5000000))}});
    int anno = rng.between(2023, 2025);
    int mese = rng.between(1, 12);
    for (int r = 1; r <= rate; ++r) {
        w.line(4, "<rata numero=\"" + std::to_string(r) + "\" data=\"" + dataItaliana(anno, mese, 15) + "\">");
        if (rng.percent(70)) w.empty(5, "int_mora", {{"valore", importoItaliano(rng.between(0, 5000), false)}});
        if (rng.percent(95)) w.empty(5, "insoluto", {{"valore", importo(rng, rng.between64(3000, 150000))}});
        w.close(4, "rata");
        if (++mese > 12) {
            mese = 1;
            ++anno;
        }
    }
    w.close(3, "rapporto");
}

void documento(XmlWriter& w, Rng& rng, long index)
{
    const Persona c = personaCasuale(rng);
    w.open(1, "documento");
    w.empty(2, "procedura", {{"codice", rng.pick(kProcedure)}});
    w.empty(2, "data_scadenza", {{"valore", dataItaliana(2026, rng.between(6, 12), 30)}});
    const std::string numero = std::to_string(7000000 + index);
    const std::string rif = "RB-2026-" + std::to_string(300000 + index);
    const std::string ingresso = dataCasualeIt(rng, 2025, 2026);
    w.empty(2, "posizione",
            {{"numero", numero}, {"rif_banca", rif}, {"descrizione", "SOFFERENZA"}, {"data_ingresso", ingresso}});

    w.open(2, "intestatario");
    w.empty(3, "denominazione", {{"valore", c.nome}});
    w.empty(3, "cf_pi", {{"valore", c.codiceFiscale}});
    w.empty(3, "data_nascita", {{"valore", dataItaliana(c.nascita.year, c.nascita.month, c.nascita.day)}});
    w.empty(3, "local_nascita", {{"valore", c.luogoNascita}});
    w.empty(3, "ind", {{"valore", c.indirizzo}});
    w.empty(3, "cap", {{"valore", c.cap}});
    w.empty(3, "localita", {{"valore", c.comune}});
    w.empty(3, "provincia", {{"valore", c.provincia}});
    const int telefoni = rng.between(1, 4);
    for (int t = 0; t < telefoni; ++t) {
        const std::string numeroTel = t == 0 ? c.telefono : t == 1 ? c.cellulare : telefonoCellulare(rng);
        w.empty(3, "tel", {{"tipo", rng.pick(kTipiTel)}, {"valore", numeroTel}});
    }
    if (rng.percent(60)) {
        const Persona d = personaCasuale(rng);
        w.open(3, "domicilio");
        w.empty(4, "ind1", {{"valore", d.indirizzo}});
        w.empty(4, "cap", {{"valore", d.cap}});
        w.empty(4, "localita", {{"valore", d.comune}});
        w.empty(4, "provincia", {{"valore", d.provincia}});
        w.empty(4, "tel_Casa", {{"valore", d.telefono}});
        if (rng.percent(30)) w.empty(4, "tel_Pers", {{"valore", d.cellulare}});
        w.close(3, "domicilio");
    }
    w.close(2, "intestatario");

    if (rng.percent(60)) {
        const Persona g = personaCasuale(rng);
        w.open(2, "cointestatario1");
        w.empty(3, "denominazione", {{"valore", g.nome}});
        w.empty(3, "cf_pi", {{"valore", g.codiceFiscale}});
        w.empty(3, "ind", {{"valore", g.indirizzo}});
        w.empty(3, "cap", {{"valore", g.cap}});
        w.empty(3, "localita", {{"valore", g.comune}});
        w.empty(3, "provincia", {{"valore", g.provincia}});
        w.empty(3, "tel", {{"valore", g.telefono}});
        if (rng.percent(30)) w.empty(3, "tel2", {{"valore", g.cellulare}});
        w.close(2, "cointestatario1");
    }

    w.open(2, "rapportiCC");
    const int conti = rng.between(1, 2);
    for (int k = 0; k < conti; ++k) rapporto(w, rng, rng.between(0, 6), true);
    w.close(2, "rapportiCC");
    if (rng.percent(60)) {
        w.open(2, "rapportirt");
        rapporto(w, rng, rng.between(2, 10), false);
        w.open(3, "totale");
        w.empty(4, "insoluto", {{"valore", importo(rng, rng.between64(10000, 3000000))}});
        w.empty(4, "int_mora", {{"valore", importoItaliano(rng.between(0, 50000), false)}});
        w.empty(4, "spese", {{"valore", importoItaliano(rng.between(0, 20000), false)}});
        w.close(3, "totale");
        w.close(2, "rapportirt");
    }

    w.open(2, "totali");
    w.empty(3, "totale_cc", {{"valore", importo(rng, rng.between64(10000, 5000000))}});
    w.empty(3, "totale_ra", {{"valore", importo(rng, rng.between64(0, 3000000))}});
    w.empty(3, "totale_gen", {{"valore", importo(rng, rng.between64(10000, 8000000))}});
    w.close(2, "totali");

    w.open(2, "note");
    const int note = rng.between(1, 3);
    for (int n = 0; n < note; ++n)
        w.empty(3, "nota", {{"data", dataCasualeIt(rng, 2025, 2026)}, {"testo", rng.pick(kNote)}});
    w.close(2, "note");

    w.open(2, "recapiti_telefonici");
    const int ndc = rng.between(1, 3);
    for (int k = 0; k < ndc; ++k) {
        w.line(3, "<ndc valore=\"" + (k == 0 ? c.telefono : telefonoCellulare(rng)) + "\">");
        w.empty(4, "tipo", {{"valore", rng.pick(kTipiTel)}});
        w.empty(4, "fonte", {{"valore", rng.pick(kFonti)}});
        w.empty(4, "data", {{"valore", dataCasualeIt(rng, 2024, 2026)}});
        w.close(3, "ndc");
    }
    w.close(2, "recapiti_telefonici");
    w.close(1, "documento");
}

}  // namespace
}  // namespace crv::bench

int main(int argc, char** argv)
{
    using namespace crv::bench;
    return runGenerator(argc, argv, kUsage, "crvxml-gen-bank", "root", documento);
}
