// The operator's text of each kind of fault that ended a run, made from its
// parts: the kinds a whole run shows elsewhere (a file that is not XML, a
// bad value, no cases, a row too long, a stop) are compared there; these
// are the rest, and the ways a normal run's writes end.
#include <gtest/gtest.h>

#include "import/run_fault.h"

namespace crv {
namespace {

Guasto di(TipoGuasto tipo)
{
    Guasto g;
    g.tipo = tipo;
    g.file = "/r/import/a.xml";
    return g;
}

TEST(TestoGuasto, EachKindAndWhatBecameOfTheWrites)
{
    Guasto data = di(TipoGuasto::Parametro);
    data.file.clear();
    data.campo = "Data Affido";
    data.motivo = "Data mancante; forma attesa gg/mm/aaaa (oppure aaaa-mm-gg)";
    Guasto mandato = di(TipoGuasto::Parametro);
    mandato.campo = "Codice Mandato";
    Guasto mancante = di(TipoGuasto::FileMancante);
    mancante.motivo = "File non trovato: /r/import/a.xml";
    Guasto gruppo = di(TipoGuasto::RigaRifiutata);
    gruppo.pratica = 7;
    gruppo.codice = "B-7";
    gruppo.finoAPratica = 9;
    gruppo.motivo = "rifiutata";
    gruppo.annullamento = Annullamento::Annullata;
    Guasto persa = di(TipoGuasto::ConnessionePersa);
    persa.pratica = 3;
    persa.annullamento = Annullamento::NonRiuscito;
    persa.motivoAnnullamento = "nessuna connessione";
    Guasto conferma = di(TipoGuasto::ConnessionePersa);
    conferma.annullamento = Annullamento::ConfermaSenzaRisposta;
    conferma.lotto = 12;
    Guasto memoria = di(TipoGuasto::Memoria);
    memoria.pratica = 2;
    Guasto ricerca = di(TipoGuasto::Ricerca);
    ricerca.motivo = "tabella bloccata";
    Guasto somma = di(TipoGuasto::DatoErrato);
    somma.pratica = 4;
    somma.codice = "C-4";
    somma.motivo = "importo fuori dall'intervallo ammesso";
    Guasto database = di(TipoGuasto::Database);
    database.motivo = "Impossibile aprire il database";

    const std::string annullata = "\nL'importazione è stata annullata: l'archivio non è stato modificato.";
    const struct {
        Guasto guasto;
        std::string testo;
    } cases[] = {
        {data, "Inserire Data Affido\nData mancante; forma attesa gg/mm/aaaa (oppure aaaa-mm-gg)"},
        {mandato, "Inserire Codice Mandato"},
        {mancante, "Scegliere il file da importare\nFile non trovato: /r/import/a.xml"},
        {gruppo, "Errore nella scrittura di una delle pratiche dalla n. 7 (codice B-7) alla n. 9 del file "
                 "/r/import/a.xml\nrifiutata" + annullata},
        {persa, "Connessione al database persa durante l'importazione del file /r/import/a.xml (alla pratica n. 3).\n"
                "Annullamento non riuscito: nessuna connessione"},
        {conferma, "Connessione al database persa durante l'importazione del file /r/import/a.xml.\nLa conferma è "
                   "rimasta senza risposta: l'importazione può essere stata registrata intera oppure per niente. Se "
                   "l'elenco dei lotti (crvxml lotti) mostra il lotto 12, è registrata; altrimenti l'archivio non è "
                   "stato modificato."},
        {memoria, "Memoria insufficiente per importare il file /r/import/a.xml (dopo la pratica n. 2): un valore del "
                  "file è troppo grande per la memoria disponibile."},
        {ricerca, "Impossibile cercare in archivio le pratiche del file: tabella bloccata"},
        {di(TipoGuasto::GiaPresenti), "Importazione non eseguita: pratiche già presenti in archivio, ripetute nel file o senza "
                                      "codice."},
        {somma, "Errore nel file /r/import/a.xml\nPratica n. 4: importo fuori dall'intervallo ammesso"},
        {database, "Impossibile aprire il database"},
    };
    for (const auto& c : cases) EXPECT_EQ(testoGuasto(c.guasto), c.testo);
}

}  // namespace
}  // namespace crv
