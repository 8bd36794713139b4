// crvxml-gen-corvestra: writes a large delivery of the finance company's
// format, one PRATICA per case, with every section the reader knows, in the
// shape and sizes of real deliveries. The same seed gives the same bytes.
#include <cstdio>
#include <exception>

#include "gen_common.h"

namespace crv::bench {
namespace {

const char* const kUsage =
    "Uso: crvxml-gen-corvestra N OUT.xml [--seed S]\n"
    "Scrive N pratiche nel formato CORVESTRA (ISO-8859-1, indentato).\n";

constexpr std::array<std::string_view, 5> kTipiTelefono = {"cellulare", "casa", "lavoro ufficio", "fax",
                                                           "Lavoro"};
constexpr std::array<std::string_view, 4> kSettori = {"PF", "CQ", "RV", "PP"};
constexpr std::array<std::string_view, 5> kBeni = {"AUTOVETTURA usata, colore blu", "MOTOCICLO 125cc",
                                                   "ARREDAMENTO CUCINA", "TELEVISORE 55 POLLICI",
                                                   "CALDAIA A CONDENSAZIONE"};
constexpr std::array<std::string_view, 4> kNote = {"citt\xE0: Lamezia, 3\xB0 piano",
                                                   "cliente irreperibile al numero fisso",
                                                   "promessa di pagamento entro fine mese",
                                                   "gi\xE0 sollecitato, verr\xE0 richiamato"};

struct Movimento {
    std::string_view causale;
    std::string_view analitica;
    bool dare;
};
constexpr std::array<Movimento, 8> kMovimenti = {{
    {"RATA", "RATA MENSILE", true},
    {"PAGAMENTO RID", "INCASSO RID", false},
    {"ADDEB", "ADDEBITO INTERESSI DI MORA", true},
    {"BONIFICO", "BONIFICO DA CLIENTE", false},
    {"INTERESSI MORA", "INTERESSI DI MORA MATURATI", true},
    {"SPESE", "SPESE POSTALI E DI SOLLECITO", true},
    {"STORNO", "STORNO ADDEBITO", false},
    {"INSOLUTO", "RID INSOLUTO", true},
}};
// Short reasons for the rows whose analytic reason names the instalment:
// at most seven characters, so that the debit column is read whole.
constexpr std::array<std::string_view, 4> kCausaliCorte = {"ADDEB", "RATA", "UTPART", "ADD.RAT"};

std::string importoScelto(Rng& rng, std::int64_t cents)
{
    // Some systems group thousands, some do not; small round amounts lose their decimals.
    return importoItaliano(cents, cents >= 100000 && rng.percent(50), rng.percent(10));
}

// One guarantor: under GARANTE (a list of GARANTI, one phone) or as
// GARANZIE itself, whose own children describe it with a phone list.
void garante(XmlWriter& w, Rng& rng, int depth, std::string_view tag, bool telefoniList)
{
    const Persona g = personaCasuale(rng);
    w.open(depth, tag);
    w.leaf(depth + 1, "NOME", g.nome);
    w.leaf(depth + 1, "INDIRIZZO", g.indirizzo);
    w.leaf(depth + 1, "CAP", g.cap);
    w.leaf(depth + 1, "COMUNE", g.comune);
    w.leaf(depth + 1, "PROVINCIA", g.provincia);
    if (telefoniList) {
        w.open(depth + 1, "TELEFONI");
        w.line(depth + 2, "<TELEFONO><NUMERO>" + g.telefono + "</NUMERO></TELEFONO>");
        if (rng.percent(40))
            w.line(depth + 2, "<TELEFONO><NUMERO>" + g.cellulare + "</NUMERO></TELEFONO>");
        if (rng.percent(10)) w.line(depth + 2, "<TELEFONO><NUMERO>garante@example.it</NUMERO></TELEFONO>");
        w.close(depth + 1, "TELEFONI");
    } else {
        w.leaf(depth + 1, "TELEFONO", rng.percent(5) ? "garante@example.it" : g.telefono);
    }
    w.leaf(depth + 1, "CODICE_FISCALE", g.codiceFiscale);
    w.leaf(depth + 1, "DATA_NASCITA", dataIso(g.nascita.year, g.nascita.month, g.nascita.day));
    w.close(depth, tag);
}

void pratica(XmlWriter& w, Rng& rng, long index)
{
    const Persona c = personaCasuale(rng);
    const bool rataZero = rng.percent(20);  // the instalment comes from the movements
    w.open(1, "PRATICA");

    w.open(2, "DATI_IDENTIFICATIVI");
    w.leaf(3, "CODICE_PRATICA", std::to_string(100000000 + index));
    w.leaf(3, "ID_AFFIDAMENTO", "AFF-2026-" + std::to_string(500000 + index));
    w.leaf(3, "DATA_AFFIDAMENTO", dataIso(2026, rng.between(1, 3), rng.between(1, 28)));
    w.leaf(3, "IMPORTO_SPESE_INCASSO", rng.percent(50) ? "3,50" : importoItaliano(rng.between(100, 1500), false));
    w.close(2, "DATI_IDENTIFICATIVI");

    w.open(2, "CLIENTE");
    w.leaf(3, "NOME", c.nome);
    w.leaf(3, "CODICE_FISCALE", c.codiceFiscale);
    w.leaf(3, "DATA_NASCITA", dataIso(c.nascita.year, c.nascita.month, c.nascita.day));
    w.leaf(3, "LUOGO_NASCITA", c.luogoNascita);
    const std::string datore = datoreCasuale(rng);
    w.leaf(3, "DATORE_LAVORO", rng.percent(20) ? "  " + datore + "  " : datore);
    w.open(3, "RESIDENZA");
    w.leaf(4, "INDIRIZZO", c.indirizzo);
    if (!c.localita.empty()) w.leaf(4, "LOCALITA", c.localita);
    w.leaf(4, "COMUNE", c.comune);
    w.leaf(4, "CAP", c.cap);
    w.leaf(4, "PROVINCIA", c.provincia);
    w.leaf(4, "TELEFONO", rng.percent(80) ? c.telefono : std::string());
    w.close(3, "RESIDENZA");
    w.open(3, "ALTRI_TELEFONI");
    const int telefoni = rng.between(2, 6);
    for (int t = 0; t < telefoni; ++t) {
        const std::string numero =
            t == 0 ? c.cellulare : rng.percent(50) ? telefonoCellulare(rng) : telefonoFisso(rng);
        std::string riga = "<TELEFONO><NUMERO>" + numero + "</NUMERO>";
        if (rng.percent(85)) riga += "<TIPO>" + std::string(rng.pick(kTipiTelefono)) + "</TIPO>";
        w.line(4, riga + "</TELEFONO>");
    }
    w.close(3, "ALTRI_TELEFONI");
    if (rng.percent(30)) w.leaf(3, "EMAIL", "cliente" + std::to_string(index) + "@example.it");
    w.close(2, "CLIENTE");

    const std::int64_t rata = rng.between64(3000, 60000);
    w.open(2, "DATI_CONTRATTO");
    const Data apertura = dataCasuale(rng, 2012, 2024);
    w.leaf(3, "DATA_APERTURA", dataIso(apertura.year, apertura.month, apertura.day));
    w.leaf(3, "IMPORTO_FINANZIATO", importoScelto(rng, rng.between64(100000, 3000000)));
    w.leaf(3, "TAN", importoItaliano(rng.between(200, 1500), false));
    w.leaf(3, "TAEG", importoItaliano(rng.between(250, 1900), false));
    w.leaf(3, "CONVENZIONATO", rng.percent(30) ? "S" : "N");
    if (rng.percent(40)) w.leaf(3, "PROTESTI", "");
    w.leaf(3, "RATAGLOBALE", rataZero ? "0" : importoItaliano(rata, false));
    w.leaf(3, "SALDO_INIZIALE", importoScelto(rng, rng.between64(50000, 2500000)));
    if (rng.percent(75)) {
        w.open(3, "GARANTI");
        const int garanti = rng.between(1, 3);
        for (int g = 0; g < garanti; ++g) garante(w, rng, 4, "GARANTE", false);
        w.close(3, "GARANTI");
    }
    if (rng.percent(20)) garante(w, rng, 3, "GARANZIE", true);
    if (rng.percent(50)) {
        w.open(3, "DATI_BENE");
        w.line(4, "<BENE><DESCRIZIONE>" + std::string(rng.pick(kBeni)) + "</DESCRIZIONE><TARGA>" +
                      rng.letters(2) + rng.digits(3) + rng.letters(2) + "</TARGA></BENE>");
        w.close(3, "DATI_BENE");
    }
    w.close(2, "DATI_CONTRATTO");

    w.open(2, "AFFIDAMENTI");
    w.open(3, "SCADENZE");
    w.leaf(4, "CAPITALE", importoScelto(rng, rng.between64(5000, 2000000)));
    w.leaf(4, "INTERESSI_MORA", importoItaliano(rng.between(0, 90000), false, rng.percent(10)));
    w.leaf(4, "SPESE_RECUPERO", importoItaliano(rng.between(0, 20000), false, rng.percent(30)));
    w.leaf(4, "RATA_UP", importoPunto(rng.between(500, 5000)));
    w.leaf(4, "IMPORTO_RATA", importoPunto(rata) + (rng.percent(50) ? " EUR" : ""));
    w.leaf(4, "SETTORE_OPERATIVO", rng.pick(kSettori));
    w.leaf(4, "NUMERO_RATE_INSOLUTE", std::to_string(rng.between(1, 24)));
    if (rng.percent(25)) w.leaf(4, "NOTA_INTERNA", rng.pick(kNote));
    w.close(3, "SCADENZE");
    if (rng.percent(30)) {
        w.open(3, "PROPOSTE_RFO");
        w.line(4, "<PROPOSTA_RFO><IMPORTO>" + importoItaliano(rng.between(10000, 200000), false) + "</IMPORTO><DATA>" +
                      dataIso(2026, rng.between(4, 12), rng.between(1, 28)) + "</DATA><NUM_RATE>" +
                      std::to_string(rng.between(1, 36)) + "</NUM_RATE></PROPOSTA_RFO>");
        w.line(4, "<VALIDE><PROPOSTA><IMPORTO>" + importoItaliano(rng.between(10000, 200000), false) +
                      "</IMPORTO></PROPOSTA></VALIDE>");
        w.leaf(4, "NON_VALIDE", "");
        w.close(3, "PROPOSTE_RFO");
    }
    w.close(2, "AFFIDAMENTI");

    w.open(2, "ESTRATTO_CONTO");
    w.open(3, "RIASSUNTO_PRECONTENZIOSO");
    w.leaf(4, "SALDO_INF30GG", importoItaliano(rng.between(0, 50000), false));
    w.leaf(4, "SALDO_30_60GG", importoItaliano(rng.between(0, 80000), false));
    w.leaf(4, "SALDO_OLTRE_60GG", importoScelto(rng, rng.between64(0, 500000)));
    w.leaf(4, "DATA_CALCOLO", dataIso(2026, rng.between(1, 3), rng.between(1, 28)));
    w.close(3, "RIASSUNTO_PRECONTENZIOSO");
    w.open(3, "MOVIMENTI");
    const int movimenti = rng.between(10, 40);
    const int rigaRata = rataZero ? rng.between(1, movimenti - 1) : -1;
    int anno = 2023 + rng.between(0, 1);
    int mese = rng.between(1, 12);
    for (int m = 0; m < movimenti; ++m) {
        const int giorno = rng.between(1, 27);
        const Movimento& mov = rng.pick(kMovimenti);
        std::string causale(mov.causale);
        std::string analitica(mov.analitica);
        bool dare = mov.dare;
        std::int64_t cents = rng.between64(500, 200000);
        if (m == rigaRata) {
            causale = rng.pick(kCausaliCorte);
            analitica = "UT.PART. N " + std::to_string(rng.between(1, 48)) + " DEL " + std::to_string(mese) + "/" +
                        std::to_string(anno);
            dare = true;
            cents = rng.between64(1000, 999999);  // at most "9.999,99": eight characters
        }
        w.open(4, "MOVIMENTO");
        w.leaf(5, "DATA_REGISTRAZIONE", dataIso(anno, mese, giorno));
        w.leaf(5, "DATA_VALUTA", dataIso(anno, mese, giorno + 1));
        w.leaf(5, "CAUSALE", causale);
        const std::string importo = importoItaliano(cents, cents >= 100000 && rng.percent(50));
        w.leaf(5, "IMPORTO_DARE", dare ? importo : "0");
        w.leaf(5, "IMPORTO_AVERE", dare ? "0" : importo);
        w.leaf(5, "CAUSALE_ANALITICA", analitica);
        w.close(4, "MOVIMENTO");
        if (rng.percent(70) && ++mese > 12) {
            mese = 1;
            ++anno;
        }
    }
    w.close(3, "MOVIMENTI");
    w.close(2, "ESTRATTO_CONTO");

    if (rng.percent(50)) {
        w.open(2, "DATI_CARTA_UC");
        w.leaf(3, "NUMERO_CARTA", "****" + rng.digits(4));
        w.leaf(3, "PLAFOND", importoScelto(rng, rng.between64(50000, 500000)));
        w.leaf(3, "DATA_SCADENZA_CARTA", dataIso(rng.between(2026, 2030), rng.between(1, 12), 28));
        w.close(2, "DATI_CARTA_UC");
    }
    w.close(1, "PRATICA");
}

}  // namespace
}  // namespace crv::bench

int main(int argc, char** argv)
{
    using namespace crv::bench;
    return runGenerator(argc, argv, kUsage, "crvxml-gen-corvestra", "CORVESTRA", pratica);
}
