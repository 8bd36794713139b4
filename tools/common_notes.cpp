#include "tools/common_notes.h"

#include "db/database.h"
#include "tools/case_selection.h"
#include "tools/chosen_cases.h"
#include "tools/database_access.h"
#include "tools/varie_register.h"
#include "tools/varie_messages.h"

namespace crv::tools {

RisultatoVarie accodaNoteComuni(db::Database& db, const FiltroPratiche& filtro, const Regional& regional,
                                const Avanzamento& avanzamento)
{
    const FiltroOErrore letto = leggiFiltro(filtro, regional);
    if (!letto.errore.empty()) return esitoSenzaLavoro(Esito::FiltroNonValido, {letto.errore});

    const QString table = QStringLiteral("Tabella Pratiche");
    qint64 current = 0;  // counter of the case being changed, for the messages
    try {
        const QString memo = db.table(table).realColumn(QStringLiteral("memo"));
        db.begin();
        PraticheScelte pratiche(db, selezione(db, letto.filtro), {memo}, true);
        RisultatoVarie result;
        result.pratiche = pratiche.totale();
        if (result.pratiche == 0) {
            db.rollback();
            return esitoSenzaLavoro(Esito::NessunaPratica, {"Nessuna pratica trovata"});
        }
        long done = 0;
        const bool completed = pratiche.perOgni([&](const PraticaLetta& p) {
            current = p.contatore;
            if (p.haNota && !p.nota.isNull()) {
                const QVariant& old = p.valori.front();
                const QString note = p.nota.toString();
                const QString extended =
                    old.isNull() ? note : old.toString() + QStringLiteral("\r\n") + note;
                db.update(table, {{memo, extended}}, QStringLiteral("contatore"), p.contatore);
                ++result.modificate;
            }
            ++done;
            return !avanzamento || avanzamento(done, result.pratiche);
        });
        current = 0;
        // A stop that came after the last case still changes nothing.
        if (!completed || (avanzamento && !avanzamento(done, result.pratiche))) {
            db.rollback();
            return esitoSenzaLavoro(Esito::Interrotta, {"Elaborazione interrotta: nessun memo modificato"});
        }
        db.commit();
        result.messaggi.push_back("Elaborazione terminata\nPratiche con la nota comune accodata al memo: " +
                                  migliaia(result.modificate) + " di " + migliaia(result.pratiche));
        return result;
    } catch (const std::exception& error) {
        try {
            db.rollback();
        } catch (const std::exception&) {
            // The connection is gone: the server drops the transaction itself.
        }
        if (interrottaDallOperatore(error))
            return esitoSenzaLavoro(Esito::Interrotta, {"Elaborazione interrotta: nessun memo modificato"});
        std::string text = causa(error);
        if (current != 0)
            text = "Note comuni fermate alla pratica con contatore " + std::to_string(current) + ": " + text;
        return esitoSenzaLavoro(Esito::Errore, {causaEConseguenza(text, "Nessun memo modificato")});
    }
}

RisultatoVarie accodaNoteComuni(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                                const Regional& regional, const Avanzamento& avanzamento)
{
    return conRegistro(paths, usaAccess, {"note-comuni", false, {}, {}}, [&] {
        const FiltroOErrore letto = leggiFiltro(filtro, regional);
        if (!letto.errore.empty()) return esitoSenzaLavoro(Esito::FiltroNonValido, {letto.errore});
        DatabaseAperto aperto = apriDatabase(paths, usaAccess);
        if (!aperto.db) return aperto.errore;
        return accodaNoteComuni(*aperto.db, filtro, regional, avanzamento);
    });
}

}  // namespace crv::tools
