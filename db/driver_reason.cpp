#include "db/driver_reason.h"

#include <QRegularExpression>

namespace crv::db {

namespace {

// SQLite's primary result codes, as Qt's driver reports them.
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADb = 26;
// PostgreSQL's state for a write in a read-only transaction or server.
const QString kPgReadOnly = QStringLiteral("25006");
// PostgreSQL's state for a disk full on the server.
const QString kPgDiskFull = QStringLiteral("53100");

// The archive or database the connection names: an ODBC string's
// Database= (or DBQ=) value, else what Qt opened.
std::string archivio(const ConnectionParams& connParams)
{
    if (connParams.dialect == Dialect::ODBC) {
        if (const QString file = valoreOdbc(connParams.databaseName, QStringLiteral("database|dbq")); !file.isEmpty())
            return file.toStdString();
    }
    return connParams.databaseName.toStdString();
}

// SQLite's result code: Qt's own driver gives it as the native code, the
// ODBC driver at the end of its text ("[SQLite]... (8)"). Extended codes
// keep it in the low byte. 0 for an error that is not SQLite's.
int sqliteCode(const QSqlError& error, const ConnectionParams& connParams)
{
    if (connParams.dialect == Dialect::SQLite) return error.nativeErrorCode().toInt() & 0xff;
    static const QRegularExpression odbc(QStringLiteral(R"(\[SQLite\].*\((\d+)\)\s*$)"));
    if (const auto match = odbc.match(error.databaseText()); match.hasMatch())
        return match.captured(1).toInt() & 0xff;
    return 0;
}

}  // namespace

std::string driverReason(const QSqlError& error, const ConnectionParams& connParams, Backend backend)
{
    if (backend == Backend::SQLite) {
        switch (sqliteCode(error, connParams)) {
        case kSqliteReadOnly:
            return "l'archivio " + archivio(connParams) +
                   " è di sola lettura: servono i permessi di scrittura sul file e sulla sua cartella";
        case kSqliteCantOpen:
            return "impossibile aprire l'archivio " + archivio(connParams) +
                   ": file mancante, o permessi insufficienti sul file o sulla sua cartella";
        case kSqliteNotADb: return "il file " + archivio(connParams) + " non è un archivio SQLite";
        case kSqliteFull: return "disco pieno: l'archivio " + archivio(connParams) + " non può crescere";
        default: break;
        }
    } else if (backend == Backend::PostgreSQL) {
        if (error.nativeErrorCode() == kPgReadOnly || error.databaseText().contains(QLatin1String("read-only transaction")))
            return "il database " + archivio(connParams) + " accetta solo letture (server o transazione di sola lettura)";
        if (error.nativeErrorCode() == kPgDiskFull) return "disco del server pieno: il database " + archivio(connParams) + " non può crescere";
    }
    return error.text().trimmed().toStdString();
}

}  // namespace crv::db
