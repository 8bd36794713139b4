#include "tools/case_check.h"

#include <QSqlQuery>

#include "db/database.h"
#include "tools/case_selection.h"
#include "tools/database_access.h"
#include "tools/varie_messages.h"

namespace crv::tools {

RisultatoVarie verificaPratiche(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                                const Regional& regional, const Avanzamento& avanzamento)
{
    const FiltroOErrore letto = leggiFiltro(filtro, regional);
    if (!letto.errore.empty()) return esitoSenzaLavoro(Esito::FiltroNonValido, {letto.errore});
    DatabaseAperto aperto = apriDatabase(paths, usaAccess);
    if (!aperto.db) return aperto.errore;
    try {
        db::Database& db = *aperto.db;
        const Selezione chosen = selezione(db, letto.filtro);
        QSqlQuery count = db.query(QStringLiteral("SELECT COUNT(*) FROM ") +
                                       db.quote(db.table(QStringLiteral("Tabella Pratiche")).realName()) + chosen.where,
                                   chosen.binds);
        RisultatoVarie result;
        result.pratiche = db.next(count) ? static_cast<long>(count.value(0).toLongLong()) : 0;
        if (result.pratiche == 0) return esitoSenzaLavoro(Esito::NessunaPratica, {"Nessuna pratica trovata"});
        if (avanzamento && !avanzamento(0, result.pratiche))
            return esitoSenzaLavoro(Esito::Interrotta, {"Esportazione interrotta: nessun file scritto"});
        return result;
    } catch (const std::exception& error) {
        return esitoSenzaLavoro(Esito::Errore, {causaEConseguenza(error.what(), "Nessun file scritto")});
    }
}

}  // namespace crv::tools
