// The connection: opening it with the program's limits, the server's own
// limits read once, closing it, and what hangs on it (the row writer).
#include "db/database.h"

#include <atomic>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDriver>

#include <libpq-fe.h>

#include "db/connection_defaults.h"
#include "db/driver_reason.h"
#include "db/driver_state.h"
#include "db/odbc_catalog.h"
#include "db/odbc_log.h"
#include "db/row_writer.h"

namespace crv::db {

namespace {

QString uniqueConnectionName()
{
    static std::atomic<quint64> serial{0};
    return QStringLiteral("crvxml-db-%1").arg(++serial);
}

// PostgreSQL's way of showing a time ("30s", "1min", "500ms") in words.
QString durationInWords(const QString& shown)
{
    static const std::pair<const char*, const char*> units[] = {
        {"ms", "millisecondi"}, {"s", "secondi"}, {"min", "minuti"}, {"h", "ore"}, {"d", "giorni"}};
    qsizetype digits = 0;
    while (digits < shown.size() && shown[digits].isDigit()) ++digits;
    const QString unit = shown.mid(digits);
    for (const auto& [symbol, word] : units)
        if (digits > 0 && unit == QLatin1String(symbol))
            return shown.left(digits) + QLatin1Char(' ') + QLatin1String(word);
    return shown;
}

}  // namespace

std::unique_ptr<Database> Database::open(const ConnectionParams& connSpec, OpenMode mode)
{
    if (!QSqlDatabase::isDriverAvailable(connSpec.driverName))
        throw DbError("Driver di database non disponibile", connSpec.driverName.toStdString());
    if (connSpec.dialect == Dialect::SQLite && mode == OpenMode::Existing &&
        connSpec.databaseName != QLatin1String(":memory:") && !QFileInfo::exists(connSpec.databaseName))
        throw DbError("Archivio non trovato", connSpec.databaseName.toStdString());

    auto database = std::make_unique<Database>(Token{}, connSpec);
    QSqlDatabase& db = database->db_;
    const ConnectionParams limited = withConnectionDefaults(connSpec);
    db.setDatabaseName(limited.databaseName);
    if (!connSpec.host.isEmpty()) db.setHostName(connSpec.host);
    if (connSpec.port > 0) db.setPort(connSpec.port);
    if (!connSpec.user.isEmpty()) db.setUserName(connSpec.user);
    if (!connSpec.password.isEmpty()) db.setPassword(connSpec.password);
    db.setConnectOptions(limited.options);
    // Amounts come back exactly (as text where the driver can), never rounded through a double.
    db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    QElapsedTimer waited;
    waited.start();
    if (!db.open()) {
        const std::string driverText = database->errorText(db.lastError());
        // The client library's own words, or the time the open took: its text
        // may come in the system's language.
        const int limit = connectSeconds(limited);
        if (driverText.find("timeout expired") != std::string::npos ||
            (limit > 0 && waited.elapsed() >= limit * 1000LL - 500))
            throw DbError("Impossibile aprire il database",
                          "il server non risponde" +
                              (limit > 0 ? " (nessuna risposta in " + std::to_string(limit) + " secondi)" : std::string()) +
                              "\n" + driverText,
                          DbFailure::NoAnswer);
        throw DbError("Impossibile aprire il database", driverText);
    }
    if (connSpec.dialect == Dialect::ODBC) {
        // Keys, catalogs and quoting differ from one database to the next:
        // one this layer does not know is refused before anything is written.
        const QString dbms = odbcDbmsName(db);
        const auto backend = backendFromDbmsName(dbms);
        if (!backend)
            throw DbError("Database \"" + dbms.toStdString() + "\" non gestito attraverso ODBC",
                          "si usano SQLite, PostgreSQL, Microsoft SQL Server e Microsoft Access");
        database->backend_ = *backend;
    }
    // The server's notices and warnings (English, on libpq's standard error
    // by default) stay out of the terminal: what the program must say of a
    // failure it says in its own words.
    if (PGconn* const libpq = libpqConnection(db)) PQsetNoticeProcessor(libpq, [](void*, const char*) {}, nullptr);
    database->setLockWait();
    database->canceller_ = std::make_shared<Canceller>(db);
    CancelScope::join(database->canceller_);
    return database;
}

void Database::setLockWait()
{
    switch (backend_) {
    case Backend::PostgreSQL: {
        // A wait the session already has (from the connection string's
        // options, or set for the user or database on the server) is kept.
        QSqlQuery show(db_);
        QString shown;
        if (show.exec(QStringLiteral("SHOW lock_timeout")) && show.next()) shown = show.value(0).toString();
        show.finish();
        if (shown.isEmpty() || shown == QLatin1String("0")) {
            QSqlQuery set(db_);
            if (!set.exec(QStringLiteral("SET lock_timeout = '%1s'").arg(kLockWaitSeconds)))
                throw failure("Impossibile impostare l'attesa massima dei blocchi", set.lastError(), &set);
            shown = QStringLiteral("%1s").arg(kLockWaitSeconds);
        }
        lockWait_ = durationInWords(shown);
        // The server's own limit on a statement, to name it when it ends one.
        if (show.exec(QStringLiteral("SHOW statement_timeout")) && show.next())
            statementLimit_ = show.value(0).toString();
        show.finish();
        break;
    }
    case Backend::SQLite:
        if (!odbc()) lockWait_ = durationInWords(QStringLiteral("%1s").arg(kLockWaitSeconds));
        break;
    case Backend::SqlServer:
    case Backend::Access:
        break;
    }
}

Database::Database(Token, ConnectionParams connSpec)
    : connParams_(std::move(connSpec)),
      backend_(connParams_.dialect == Dialect::PostgreSQL ? Backend::PostgreSQL : Backend::SQLite),
      connectionName_(uniqueConnectionName()), db_(QSqlDatabase::addDatabase(connParams_.driverName, connectionName_))
{
}

Database::~Database()
{
    // The writer's rows are forgotten and its statements freed first: the
    // connection must be at rest for the rollback and the close.
    if (writer_) writer_->discard();
    writer_.reset();
    // Roll back before the prepared statements go: PostgreSQL refuses to free
    // them inside a transaction that an error has aborted.
    if (db_.isOpen() && inTransaction_) {
        try {
            rollback();
        } catch (const DbError&) {
            // Closing the connection drops the transaction all the same.
        }
    }
    statements_.clear();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
    // Closed with CommLog=0 of ours, psqlODBC has written its closing line
    // all the same.
    if (odbc() && backend_ == Backend::PostgreSQL &&
        !connParams_.databaseName.contains(QLatin1String("commlog"), Qt::CaseInsensitive))
        removeClosingOnlyOdbcLog();
}

std::string Database::errorText(const QSqlError& error) const
{
    return driverReason(error, connParams_, backend_);
}

QString Database::quote(const QString& identifier) const
{
    return quoteIdentifier(backend_, identifier);
}

void Database::settleRows()
{
    if (writer_) writer_->settle();
}

RowWriter& Database::rows()
{
    if (!writer_) writer_ = makeRowWriter(*this);
    return *writer_;
}

void Database::setRowWriter(std::unique_ptr<RowWriter> writer)
{
    if (writer_) writer_->flush();
    writer_ = std::move(writer);
}

QVariant Database::driverHandle() const
{
    return db_.isOpen() && db_.driver() ? db_.driver()->handle() : QVariant();
}

}  // namespace crv::db
