#include "import/run_fault.h"

#include "xml/parse_error_message.h"

namespace crv {
namespace {

// " (codice X)", or nothing for a case without a known code.
std::string codiceTra(const std::string& codice)
{
    return codice.empty() ? std::string() : " (codice " + codice + ")";
}

std::string allaPratica(const Guasto& g, const char* come)
{
    return g.pratica > 0 ? std::string(" (") + come + " pratica n. " + std::to_string(g.pratica) + ")" : std::string();
}

std::string testoSenzaAnnullamento(const Guasto& g)
{
    switch (g.tipo) {
    case TipoGuasto::FileMancante: return "Scegliere il file da importare\n" + g.motivo;
    case TipoGuasto::Parametro: return "Inserire " + g.campo + (g.motivo.empty() ? "" : "\n" + g.motivo);
    case TipoGuasto::FileNonXml: {
        // The reader's own words, from the parts it gave.
        XmlParseError error{g.file, g.riga, g.colonna, g.sorgente, g.motivo, g.sorgenteDa, g.sorgenteContinua};
        return parseErrorMessage(error);
    }
    case TipoGuasto::NessunaPratica: return "Nessuna pratica da importare nel file " + g.file + "\n" + g.motivo;
    case TipoGuasto::DatoErrato:
        if (g.elemento.empty())
            return "Errore nel file " + g.file + "\nPratica n. " + std::to_string(g.pratica) + ": " + g.motivo;
        return "Errore nel file " + g.file + "\nPratica n. " + std::to_string(g.pratica) + codiceTra(g.codice) +
               "\nElemento " + g.elemento + " = \"" + g.valore + "\": " + g.motivo;
    case TipoGuasto::SenzaIntestatario:
        return "Errore nel file " + g.file + "\nPratica n. " + std::to_string(g.pratica) + codiceTra(g.codice) + ": " +
               g.motivo;
    case TipoGuasto::RigaRifiutata: {
        std::string pratica = "della pratica n. " + std::to_string(g.pratica) + codiceTra(g.codice);
        if (g.finoAPratica != g.pratica)
            pratica = "di una delle pratiche dalla n. " + std::to_string(g.pratica) + codiceTra(g.codice) +
                      " alla n. " + std::to_string(g.finoAPratica) + codiceTra(g.codiceFinoA);
        return "Errore nella scrittura " + pratica + " del file " + g.file + "\n" + g.motivo;
    }
    case TipoGuasto::Ricerca: return "Impossibile cercare in archivio le pratiche del file: " + g.motivo;
    case TipoGuasto::ConnessionePersa:
        return "Connessione al database persa durante l'importazione del file " + g.file + allaPratica(g, "alla") + ".";
    case TipoGuasto::Interrotta:
        return g.pratica == 0 ? std::string("Importazione interrotta dall'operatore.")
                              : "Importazione interrotta dall'operatore alla pratica n. " + std::to_string(g.pratica) + ".";
    case TipoGuasto::Memoria:
        return "Memoria insufficiente per importare il file " + g.file + allaPratica(g, "dopo la") +
               ": un valore del file è troppo grande per la memoria disponibile.";
    case TipoGuasto::GiaPresenti:
        return "Importazione non eseguita: pratiche già presenti in archivio, ripetute nel file o senza codice.";
    case TipoGuasto::Lettura:
    case TipoGuasto::Database:
    case TipoGuasto::ArchivioAccessMancante: return g.motivo;
    }
    return g.motivo;
}

}  // namespace

Guasto guastoXml(const XmlParseError& error)
{
    Guasto g;
    g.tipo = TipoGuasto::FileNonXml;
    g.file = error.url;
    g.riga = error.line;
    g.colonna = error.linepos;
    g.sorgente = error.srcText;
    g.sorgenteDa = error.srcFrom;
    g.sorgenteContinua = error.srcContinues;
    g.motivo = error.reason;
    return g;
}

std::string testoGuasto(const Guasto& g)
{
    std::string text = testoSenzaAnnullamento(g);
    switch (g.annullamento) {
    case Annullamento::Nessuno: break;
    case Annullamento::Annullata: text += "\nL'importazione è stata annullata: l'archivio non è stato modificato."; break;
    case Annullamento::ConfermaSenzaRisposta:
        text += "\nLa conferma è rimasta senza risposta: l'importazione può essere stata registrata intera "
                "oppure per niente. Se l'elenco dei lotti (crvxml lotti) mostra il lotto " +
                std::to_string(g.lotto.value_or(0)) + ", è registrata; altrimenti l'archivio non è stato modificato.";
        break;
    case Annullamento::NonRiuscito: text += "\nAnnullamento non riuscito: " + g.motivoAnnullamento; break;
    }
    return text;
}

}  // namespace crv
