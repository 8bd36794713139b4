#include "tools/varie_register.h"

#include "db/open_db.h"

namespace crv::tools {

std::string esitoVarie(Esito esito)
{
    switch (esito) {
    case Esito::Terminata: return "terminata";
    case Esito::DbNonCollegato: return "database non collegato";
    case Esito::ArchivioAccessMancante: return "archivio Access mancante";
    case Esito::NessunaPratica: return "nessuna pratica";
    case Esito::FiltroNonValido: return "filtro non valido";
    case Esito::DefinizioneNonValida: return "definizione non valida";
    case Esito::Errore: return "errore";
    case Esito::Interrotta: return "interrotta";
    case Esito::Rifiutata: return "rifiutata";
    }
    return "sconosciuto";
}

RisultatoVarie conRegistro(const SuitePaths& paths, bool usaAccess, const VarieDaRegistrare& cosa,
                           const std::function<RisultatoVarie()>& run)
{
    VoceRegistro voce = nuovaVoce(cosa.operazione, cosa.prova, db::databaseMostrato(paths, usaAccess));
    voce.file = cosa.file;
    voce.lotto = cosa.lotto;

    RisultatoVarie result = run();

    voce.fine = oraRegistro();
    voce.esito = esitoVarie(result.esito);
    voce.lette = result.pratiche;
    const bool done = result.esito == Esito::Terminata && !cosa.prova;
    // The export writes every case it chose; the others say what they changed.
    voce.scritte = !done ? 0 : cosa.operazione == "esporta" ? result.pratiche : result.modificate;
    if (!result.messaggi.empty()) voce.messaggio = result.messaggi.back().substr(0, result.messaggi.back().find('\n'));
    if (const auto problem = accodaAlRegistro(paths, voce)) result.messaggi.push_back(*problem);
    return result;
}

}  // namespace crv::tools
