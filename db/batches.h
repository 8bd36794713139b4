#pragma once
// Import batches: one row of TabellaLottiImp per import run that writes,
// holding when it started, the mandate parameters typed for it and, at the
// end, how many cases it brought in.
#include <string>

#include <QDate>

namespace crv::db {

class Database;

// Adds the batch row (DataImportazione = now) and returns its own counter,
// the key the database gave this very row. Throws DbError.
qint64 AddLotto(Database& db, const QDate& dataAffido, const QDate& scadenza,
                const std::string& codMandante, const std::string& tipoIntervento);

// Stores the number of cases a run imported in its batch row. Throws DbError.
void SalvaNumPratiche(Database& db, qint64 lotto, int numPratiche);

}  // namespace crv::db
