// The operator's text of a fault that ended a run, made from its parts: the
// kinds and endings that no whole run of the tests shows in full (those are
// compared where they happen).
#include <gtest/gtest.h>

#include "import/run_fault.h"

namespace crv {
namespace {

Guasto di(TipoGuasto tipo, int pratica, std::string motivo, Annullamento annullamento = Annullamento::Nessuno)
{
    Guasto g;
    g.tipo = tipo;
    g.file = "/r/import/a.xml";
    g.pratica = pratica;
    g.codice = pratica > 0 ? "C-" + std::to_string(pratica) : "";
    g.motivo = std::move(motivo);
    g.annullamento = annullamento;
    return g;
}

TEST(TestoGuasto, TheKindsNoWholeRunShows)
{
    Guasto gruppo = di(TipoGuasto::RigaRifiutata, 7, "rifiutata", Annullamento::Annullata);
    gruppo.finoAPratica = 9;
    Guasto persa = di(TipoGuasto::ConnessionePersa, 3, "", Annullamento::NonRiuscito);
    persa.motivoAnnullamento = "nessuna connessione";
    const struct {
        Guasto guasto;
        std::string testo;
    } cases[] = {
        {gruppo, "Errore nella scrittura di una delle pratiche dalla n. 7 (codice C-7) alla n. 9 del file "
                 "/r/import/a.xml\nrifiutata\nL'importazione è stata annullata: l'archivio non è stato modificato."},
        {persa, "Connessione al database persa durante l'importazione del file /r/import/a.xml (alla pratica n. 3).\n"
                "Annullamento non riuscito: nessuna connessione"},
        {di(TipoGuasto::Ricerca, 0, "tabella bloccata"),
         "Impossibile cercare in archivio le pratiche del file: tabella bloccata"},
        {di(TipoGuasto::GiaPresenti, 0, ""),
         "Importazione non eseguita: pratiche già presenti in archivio, ripetute nel file o senza codice."},
        // An amount out of range names no element.
        {di(TipoGuasto::DatoErrato, 4, "importo fuori dall'intervallo ammesso"),
         "Errore nel file /r/import/a.xml\nPratica n. 4: importo fuori dall'intervallo ammesso"},
    };
    for (const auto& c : cases) EXPECT_EQ(testoGuasto(c.guasto), c.testo);
}

}  // namespace
}  // namespace crv
