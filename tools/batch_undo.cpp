#include "tools/batch_undo.h"

#include "db/database.h"
#include "tools/database_access.h"
#include "tools/varie_register.h"
#include "tools/varie_messages.h"

namespace crv::tools {
namespace {

const char* const kInterrotto = "Annullamento interrotto: nessuna riga eliminata";

}  // namespace

std::string testoAnnullamento(const db::ContenutoLotto& c, const Regional& regional)
{
    std::string num = c.lotto.numPratiche ? std::to_string(*c.lotto.numPratiche) : std::string("vuoto");
    return "Annullamento del " + db::descriviLotto(c.lotto, regional) + ", intervento " +
           c.lotto.tipoIntervento.toStdString() + " (NumPratiche " + num + ").\nSi eliminano:\n  " +
           migliaia(static_cast<long>(c.pratiche)) + (c.pratiche == 1 ? " pratica" : " pratiche") +
           " di [Tabella Pratiche]\n  " + migliaia(static_cast<long>(c.rate)) +
           (c.rate == 1 ? " rata" : " rate") +
           " di [tabella fatture]\nLa riga del lotto resta, con NumPratiche 0; le pratiche degli altri lotti e le "
           "note comuni non cambiano.";
}

RisultatoVarie annullaLotto(db::Database& db, std::int64_t lotto, bool conferma, const Regional& regional,
                            const Avanzamento& avanzamento, const std::function<void()>& inAttesa)
{
    constexpr long kPassi = 3;  // the instalments, the cases, the batch row
    long passo = 0;
    try {
        if (!conferma) {
            const db::ContenutoLotto c = db::esaminaLotto(db, lotto);
            RisultatoVarie result;
            result.pratiche = c.pratiche;
            result.messaggi = {testoAnnullamento(c, regional)};
            return result;
        }
        const auto done =
            db::annullaLotto(db, lotto, [&] { return !avanzamento || avanzamento(passo++, kPassi); }, inAttesa);
        if (!done) return esitoSenzaLavoro(Esito::Interrotta, {kInterrotto});
        RisultatoVarie result;
        result.pratiche = done->pratiche;
        result.modificate = done->pratiche;
        result.messaggi = {"Lotto " + std::to_string(lotto) + " annullato: eliminate " +
                           migliaia(static_cast<long>(done->pratiche)) +
                           (done->pratiche == 1 ? " pratica e " : " pratiche e ") +
                           migliaia(static_cast<long>(done->rate)) + (done->rate == 1 ? " rata" : " rate") +
                           "; la riga del lotto resta con NumPratiche 0"};
        return result;
    } catch (const db::LottoRifiutato& refusal) {
        return esitoSenzaLavoro(Esito::Rifiutata, {refusal.what()});
    } catch (const db::DbError& error) {
        // A stop of the operator, met while waiting for another run.
        if (error.failure() == db::DbFailure::Cancelled) return esitoSenzaLavoro(Esito::Interrotta, {kInterrotto});
        return esitoSenzaLavoro(Esito::Errore, {causaEConseguenza(error.what(), "Nessuna riga eliminata")});
    } catch (const std::exception& error) {
        return esitoSenzaLavoro(Esito::Errore, {causaEConseguenza(error.what(), "Nessuna riga eliminata")});
    }
}

RisultatoVarie annullaLotto(const SuitePaths& paths, bool usaAccess, std::int64_t lotto, bool conferma,
                            const Regional& regional, const Avanzamento& avanzamento,
                            const std::function<void()>& inAttesa)
{
    return conRegistro(paths, usaAccess, {"annulla-lotto", !conferma, {}, lotto}, [&] {
        DatabaseAperto aperto = apriDatabase(paths, usaAccess);
        if (!aperto.db) return aperto.errore;
        return annullaLotto(*aperto.db, lotto, conferma, regional, avanzamento, inAttesa);
    });
}

}  // namespace crv::tools
