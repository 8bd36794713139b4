#pragma once
// One connection to the case database over Qt SQL: Qt's own SQLite and
// PostgreSQL drivers, or ODBC to SQLite, PostgreSQL, Microsoft SQL Server or
// Microsoft Access. Every value reaches the database as a bound parameter;
// identifiers are quoted as the database behind the connection wants them
// and matched without regard to case against the tables' real columns.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "db/backend.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/quiet_sql_warnings.h"
#include "db/row_values.h"
#include "db/statement_cancel.h"
#include "db/table_info.h"

namespace crv::db {

// Whether opening an SQLite file may create it (init-db) or the file must exist.
enum class OpenMode { Existing, CreateIfMissing };

class RowWriter;

class Database {
public:
    // Opens a connection of its own (a unique Qt connection name per object),
    // with the limits of connection_defaults.h where the string sets none, and
    // joins the calling thread's CancelScope. Throws DbError with the driver's
    // text when the open fails (NoAnswer when the server did not answer in
    // time), and naming the database when an ODBC driver reaches one this
    // layer does not know.
    static std::unique_ptr<Database> open(const ConnectionParams& connSpec,
                                          OpenMode mode = OpenMode::Existing);

    // Use open(); the token keeps construction inside this class.
    class Token {
        friend class Database;
        Token() = default;
    };
    Database(Token, ConnectionParams connSpec);

    // Rolls back an open transaction, closes the connection and removes it from Qt.
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The driver: Qt's SQLite or PostgreSQL driver, or ODBC.
    Dialect dialect() const { return connParams_.dialect; }
    // The database behind the driver (for ODBC, the one the driver names).
    Backend backend() const { return backend_; }
    const ConnectionParams& connSpec() const { return connParams_; }
    // Qt's connection, for the calls of the client library behind it (libpq's,
    // ODBC's) that Qt does not offer.
    const QSqlDatabase& connection() const { return db_; }

    // An identifier quoted for the database in use: "Tabella Pratiche" or,
    // on SQL Server and Access, [Tabella Pratiche].
    QString quote(const QString& identifier) const;

    // The real layout of a table, read once and cached; the name is matched
    // without regard to case. Throws DbError when the table does not exist.
    const TableInfo& table(const QString& name);
    bool hasTable(const QString& name);
    // Forgets the cached layouts (after the schema was changed).
    void forgetTables();

    // One transaction per import run; the destructor rolls back an open one.
    // rollback() is quiet when the database has already dropped the
    // transaction (SQLite after a full disk, a server after a lost connection).
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return inTransaction_; }
    // Something held for as long as the open transaction lasts (the lock
    // file of a database that has no lock of its own): given back by the
    // commit, the rollback or the closing.
    void holdUntilTransactionEnds(std::shared_ptr<void> held) { heldForTransaction_ = std::move(held); }

    // The folder of the lock file that keeps the runs writing an archive's
    // cases one at a time where the database offers no lock (the suite's
    // dati/, set by ApriDB); empty when none was given.
    void setLockFolder(std::filesystem::path folder) { lockFolder_ = std::move(folder); }
    const std::filesystem::path& lockFolder() const { return lockFolder_; }

    // Adds one row and returns the value of `keyColumn` of that very row.
    // Field names are matched to the table's real columns without regard to
    // case (DbError naming the field when one is missing); a text longer than
    // its column is refused with FieldTooLong. The statement is prepared once
    // per table and column set.
    qint64 insert(const QString& table, const FieldValues& values,
                  const QString& keyColumn = QStringLiteral("contatore"));

    // Changes fields of the row whose `keyColumn` equals `key`; DbError when
    // no such row exists, FieldTooLong as for insert.
    void update(const QString& table, const FieldValues& values, const QString& keyColumn,
                qint64 key);

    // The named fields of the row whose `keyColumn` equals `key`, in the
    // order asked; DbError when no such row exists.
    QVariantList selectRow(const QString& table, const QStringList& columns,
                           const QString& keyColumn, qint64 key);

    // Runs a fixed statement with bound values and no result.
    void execute(const QString& sql, const QVariantList& binds = {});
    // A statement that never waits for another session (a savepoint), sent
    // as it is on every driver: psqlODBC loses a savepoint it was asked to
    // prepare.
    void executeDirect(const QString& sql);
    // The same for a statement run many times in a row (the instalment
    // rows): it is prepared once and kept.
    void executePrepared(const QString& sql, const QVariantList& binds);
    // A query run many times in a row (the lookup of a delivery's codes,
    // chunk after chunk): prepared once and kept; its result is read, and
    // finished, before the next call.
    QSqlQuery& queryPrepared(const QString& sql, const QVariantList& binds);

    // Runs a fixed statement with bound values and returns the positioned-
    // before-first, forward-only result for reading.
    QSqlQuery query(const QString& sql, const QVariantList& binds = {});
    // The next row of such a result; false at its end. A row that could not
    // be fetched (a stop that cancelled the statement while its rows came,
    // a lost connection) throws as a failed statement does: read as the end
    // of the result, it would make "no case found" of a stop.
    bool next(QSqlQuery& rows) const;

    // The writer of an import run's rows on this connection, made on first
    // use. Every other statement, the commit and the rollback first let it
    // finish what it sent.
    RowWriter& rows();
    // Replaces that writer (to compare one way of writing with another).
    void setRowWriter(std::unique_ptr<RowWriter> writer);

    // For the writers: insert() and a keyless insert of one or more rows
    // whose values are already matched to the table's columns and checked.
    qint64 insertColumns(const TableInfo& info, const RealValues& columns,
                         const QString& keyColumn = QStringLiteral("contatore"));
    void appendRows(const TableInfo& info, const std::vector<const RealValues*>& rows);
    // How many rows of that many columns one INSERT may carry here.
    std::size_t rowsPerInsert(std::size_t columns) const;
    // The driver's own connection handle (QSqlDriver::handle()).
    QVariant driverHandle() const;

    // The error's text for a DbError: in Italian, naming the archive, where
    // the operator can mend the cause.
    std::string errorText(const QSqlError& error) const;

    // Statement failures carry what is known of them (DbError::failure()): a
    // lock held past the lock wait, a lost connection, a stop asked through
    // the connection's CancelScope. The writers, which talk to the driver's
    // own library, read their errors the same way and mark their waits.
    DbError failure(const std::string& context, const QSqlError& error, const QSqlQuery* statement = nullptr) const;
    Canceller* canceller() const { return canceller_.get(); }
    // Throws the operator's stop when one was asked: no further work.
    void refuseIfCancelled() const;

private:
    // `where` names what was being done when preparing fails.
    QSqlQuery& cachedStatement(const QString& cacheKey, const std::function<QString()>& makeSql,
                               const std::string& where = "Istruzione non accettata dal database");
    TableInfo readTable(const QString& name);
    QString realTableName(const QString& name);
    bool odbc() const { return connParams_.dialect == Dialect::ODBC; }
    bool transactionByStatements() const { return backend_ == Backend::SQLite; }
    QVariant newKeyAfterInsert(QSqlQuery& statement, const QString& table, const QString& keyColumn);
    // After a rollback on SQLite: the journal a failed rollback left played back.
    void playBackJournal();
    // Lets the row writer finish what it sent before another statement.
    void settleRows();
    // A statement's work, which the operator may stop: refused once a stop
    // was asked, and open to the canceller while it runs.
    bool prepare(QSqlQuery& statement, const QString& sql);
    bool run(QSqlQuery& statement, const QString* sql = nullptr);
    void setLockWait();

    // Qt's drivers print warnings of their own whenever a statement object
    // goes after its connection was lost or its transaction aborted ("Unable
    // to free statement", one per prepared statement, in English): none
    // while a connection lives, this layer says what failed in its own
    // words. First, so that it goes last.
    QuietSqlWarnings quiet_;
    ConnectionParams connParams_;
    Backend backend_ = Backend::SQLite;
    QString connectionName_;
    QSqlDatabase db_;
    bool inTransaction_ = false;
    std::shared_ptr<void> heldForTransaction_;
    std::filesystem::path lockFolder_;
    std::shared_ptr<Canceller> canceller_;
    QString lockWait_;  // the lock wait in force, in words ("30 secondi")
    QString statementLimit_;  // PostgreSQL's statement_timeout as the server shows it ("0": none)
    std::map<QString, TableInfo> tables_;                     // by lower-case name
    std::map<QString, std::unique_ptr<QSqlQuery>> statements_; // by table and column set
    std::unique_ptr<RowWriter> writer_;
};

}  // namespace crv::db
