#include "db/batches.h"

#include <QDateTime>

#include "db/database.h"

namespace crv::db {

namespace {

const QString batchTable = QStringLiteral("TabellaLottiImp");

}  // namespace

qint64 AddLotto(Database& db, const QDate& dataAffido, const QDate& scadenza,
                const std::string& codMandante, const std::string& tipoIntervento)
{
    // Local time to the second, as text: no time zone conversion on the way,
    // and every database reads this form as a date and time.
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return db.insert(batchTable, {
                                     {QStringLiteral("DataImportazione"), stamp},
                                     {QStringLiteral("DataAffido"), dataAffido},
                                     {QStringLiteral("ScadAffido"), scadenza},
                                     {QStringLiteral("CodMandante"), QString::fromStdString(codMandante)},
                                     {QStringLiteral("TipoIntervento"), QString::fromStdString(tipoIntervento)},
                                 });
}

void SalvaNumPratiche(Database& db, qint64 lotto, int numPratiche)
{
    db.update(batchTable, {{QStringLiteral("NumPratiche"), numPratiche}}, QStringLiteral("contatore"),
              lotto);
}

}  // namespace crv::db
