#include "db/driver_reason.h"

#include <QRegularExpression>

namespace crv::db {

namespace {

// SQLite's primary result codes, as Qt's driver reports them.
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADb = 26;
// PostgreSQL's state for a write in a read-only transaction or server.
const QString kPgReadOnly = QStringLiteral("25006");

// The archive or database the connection names: an ODBC string's
// Database= (or DBQ=) value, else what Qt opened.
std::string archivio(const ConnectionSpec& spec)
{
    if (spec.dialect == Dialect::ODBC) {
        static const QRegularExpression key(QStringLiteral(R"((?:^|;)\s*(?:database|dbq)\s*=\s*([^;]*))"),
                                            QRegularExpression::CaseInsensitiveOption);
        if (const auto match = key.match(spec.databaseName); match.hasMatch())
            return match.captured(1).trimmed().toStdString();
    }
    return spec.databaseName.toStdString();
}

// SQLite's result code: Qt's own driver gives it as the native code, the
// ODBC driver at the end of its text ("[SQLite]... (8)"). Extended codes
// keep it in the low byte. 0 for an error that is not SQLite's.
int sqliteCode(const QSqlError& error, const ConnectionSpec& spec)
{
    if (spec.dialect == Dialect::SQLite) return error.nativeErrorCode().toInt() & 0xff;
    static const QRegularExpression odbc(QStringLiteral(R"(\[SQLite\].*\((\d+)\)\s*$)"));
    if (const auto match = odbc.match(error.databaseText()); match.hasMatch())
        return match.captured(1).toInt() & 0xff;
    return 0;
}

}  // namespace

std::string driverReason(const QSqlError& error, const ConnectionSpec& spec, Backend backend)
{
    if (backend == Backend::SQLite) {
        switch (sqliteCode(error, spec)) {
        case kSqliteReadOnly:
            return "l'archivio " + archivio(spec) +
                   " è di sola lettura: servono i permessi di scrittura sul file e sulla sua cartella";
        case kSqliteCantOpen:
            return "impossibile aprire l'archivio " + archivio(spec) +
                   ": file mancante, o permessi insufficienti sul file o sulla sua cartella";
        case kSqliteNotADb: return "il file " + archivio(spec) + " non è un archivio SQLite";
        default: break;
        }
    } else if (backend == Backend::PostgreSQL) {
        if (error.nativeErrorCode() == kPgReadOnly || error.databaseText().contains(QLatin1String("read-only transaction")))
            return "il database " + archivio(spec) + " accetta solo letture (server o transazione di sola lettura)";
    }
    return error.text().trimmed().toStdString();
}

}  // namespace crv::db
