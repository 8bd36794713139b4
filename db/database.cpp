#include "db/database.h"

#include <algorithm>
#include <atomic>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <libpq-fe.h>

#include "db/connection_defaults.h"
#include "db/driver_reason.h"
#include "db/driver_state.h"
#include "db/field_length.h"
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

// Values one statement carries to PostgreSQL through ODBC.
constexpr std::size_t kOdbcValuesPerStatement = 4000;

QString placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i) marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
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

// ---- Tables and columns ----

QString Database::realTableName(const QString& name)
{
    QStringList candidates;
    QString sql;
    switch (backend_) {
    case Backend::SQLite:
        sql = QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                             "AND lower(name) = lower(?)");
        break;
    case Backend::PostgreSQL:
        // Only the tables the search path reaches, as the statements will.
        sql = QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c "
                             "WHERE c.relkind IN ('r','p','v','m','f') "
                             "AND pg_catalog.pg_table_is_visible(c.oid) "
                             "AND lower(c.relname) = lower(CAST(? AS text))");
        break;
    case Backend::SqlServer:
    case Backend::Access:
        // The driver's table list (the ODBC catalog).
        for (const QString& table : db_.tables(QSql::AllTables))
            if (table.compare(name, Qt::CaseInsensitive) == 0) candidates << table;
        break;
    }
    if (!sql.isEmpty()) {
        QSqlQuery rows = query(sql, {name});
        while (next(rows)) candidates << rows.value(0).toString();
    }
    if (candidates.contains(name)) return name;
    return candidates.isEmpty() ? QString() : candidates.front();
}

TableInfo Database::readTable(const QString& realName)
{
    std::vector<Column> columns;
    QString sql;
    switch (backend_) {
    case Backend::SQLite:
        // SQLite reports no sizes through Qt: the declared type holds them.
        sql = QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid");
        break;
    case Backend::PostgreSQL:
        // The catalog gives the same declared form, "character varying(50)".
        sql = QStringLiteral("SELECT a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod) "
                             "FROM pg_catalog.pg_attribute a WHERE a.attrelid = "
                             "(SELECT c.oid FROM pg_catalog.pg_class c WHERE c.relname = CAST(? AS text) "
                             "AND pg_catalog.pg_table_is_visible(c.oid) LIMIT 1) "
                             "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum");
        break;
    case Backend::SqlServer:
        // The table the statements will reach (the user's schema, then dbo),
        // with sizes in characters (-1 for varchar(max)).
        sql = QStringLiteral("SELECT c.name, TYPE_NAME(c.user_type_id), "
                             "COLUMNPROPERTY(c.object_id, c.name, 'CharMaxLen') "
                             "FROM sys.columns c WHERE c.object_id = OBJECT_ID(QUOTENAME(?)) "
                             "ORDER BY c.column_id");
        break;
    case Backend::Access:
        // Access has no catalog tables a user may read: the ODBC catalog.
        columns = odbcColumns(db_, realName);
        break;
    }
    if (!sql.isEmpty()) {
        QSqlQuery rows = query(sql, {realName});
        while (next(rows)) {
            const QString type = rows.value(1).toString();
            int size = sizeFromDeclaredType(type);
            if (rows.record().count() > 2) {
                bool ok = false;
                const int declared = rows.value(2).toInt(&ok);
                size = ok && declared > 0 && !rows.value(2).isNull() ? declared : -1;
            }
            columns.push_back({rows.value(0).toString(), type, size});
        }
    }
    if (columns.empty())
        throw DbError("Impossibile leggere i campi della tabella " + realName.toStdString());
    return TableInfo(realName, std::move(columns));
}

const TableInfo& Database::table(const QString& name)
{
    const QString key = name.toLower();
    if (const auto found = tables_.find(key); found != tables_.end()) return found->second;
    const QString realName = realTableName(name);
    if (realName.isEmpty())
        throw DbError("Tabella " + name.toStdString() + " non trovata nel database");
    return tables_.emplace(key, readTable(realName)).first->second;
}

bool Database::hasTable(const QString& name)
{
    return tables_.count(name.toLower()) > 0 || !realTableName(name).isEmpty();
}

void Database::forgetTables()
{
    if (writer_) writer_->flush();
    writer_.reset();
    tables_.clear();
    statements_.clear();
}

// ---- Transactions ----

void Database::begin()
{
    if (inTransaction_) throw DbError("Una transazione è già aperta");
    settleRows();
    if (transactionByStatements()) {
        // Take the file's write lock at once: a run that only read first and
        // then wanted to write could deadlock with another operator's run,
        // while waiting at the start is served by the busy timeout. Through
        // ODBC too: the SQLite driver's own transactions begin deferred.
        QSqlQuery statement(db_);
        const QString sql = QStringLiteral("BEGIN IMMEDIATE");
        if (!run(statement, &sql)) throw failure("Impossibile aprire la transazione", statement.lastError(), &statement);
    } else {
        if (!db_.transaction()) throw failure("Impossibile aprire la transazione", db_.lastError());
    }
    inTransaction_ = true;
}

void Database::commit()
{
    if (!inTransaction_) throw DbError("Nessuna transazione aperta da confermare");
    if (writer_) writer_->flush();
    for (auto& [key, statement] : statements_) statement->finish();
    if (transactionByStatements()) {
        QSqlQuery statement(db_);
        if (!statement.exec(QStringLiteral("COMMIT")))
            throw failure("Impossibile confermare la transazione", statement.lastError(), &statement);
    } else if (!db_.commit()) {
        throw failure("Impossibile confermare la transazione", db_.lastError());
    }
    inTransaction_ = false;
    heldForTransaction_.reset();
}

void Database::rollback()
{
    if (!inTransaction_) return;
    if (writer_) writer_->discard();
    for (auto& [key, statement] : statements_) statement->finish();
    inTransaction_ = false;
    // Given back once the server has dropped the transaction, below.
    const std::shared_ptr<void> held = std::move(heldForTransaction_);
    // A broken connection took its transaction with it: the server keeps nothing of it.
    if (connectionLost(db_)) return;
    QSqlQuery statement(db_);
    const bool done = transactionByStatements() ? statement.exec(QStringLiteral("ROLLBACK")) : db_.rollback();
    const QSqlError error = transactionByStatements() ? statement.lastError() : db_.lastError();
    // SQLite rolls a transaction back by itself after some failures (a full
    // disk among them), and a connection found broken only now took its
    // transaction with it: then nothing is left to undo.
    if (!done && !connectionLost(db_) && !error.text().contains(QLatin1String("no transaction is active")))
        throw failure("Impossibile annullare la transazione", error, transactionByStatements() ? &statement : nullptr);
    if (backend_ == Backend::SQLite) {
        statement.finish();
        playBackJournal();
    }
}

void Database::playBackJournal()
{
    // SQLite's own rollback after a full disk can stop half-way: the file
    // stays grown (the disk full) with its journal beside it, until some
    // connection reads it and plays the journal back. This one does, now
    // that its statements are at rest; should another program hold the file,
    // the next reader does it.
    QSqlQuery read(db_);
    const QString sql = QStringLiteral("SELECT count(*) FROM sqlite_master");
    read.exec(sql);
    read.finish();
}

// ---- Statements and their failures ----

void Database::refuseIfCancelled() const
{
    if (canceller_ && canceller_->cancelled())
        throw DbError("Istruzione non eseguita", "interrotta dall'operatore", DbFailure::Cancelled);
}

bool Database::prepare(QSqlQuery& statement, const QString& sql)
{
    refuseIfCancelled();
    // Preparing may wait too (PostgreSQL reads the table's layout under a lock).
    const Canceller::Running running(canceller_.get(), nullptr);
    return statement.prepare(sql);
}

bool Database::run(QSqlQuery& statement, const QString* sql)
{
    refuseIfCancelled();
    const Canceller::Running running(canceller_.get(), odbc() ? &statement : nullptr);
    return sql != nullptr ? statement.exec(*sql) : statement.exec();
}

DbError Database::failure(const std::string& context, const QSqlError& error, const QSqlQuery* statement) const
{
    // What the program recognises is told in its own words, without the
    // driver's (a statement's text, English, several lines).
    if (canceller_ && canceller_->cancelled())
        return DbError(context, "interrotta dall'operatore", DbFailure::Cancelled);
    const QString state = sqlState(db_, error, statement);
    // Class 08 (connection exception) and the server's own shutdowns.
    if (connectionLost(db_) || state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return DbError(context, "connessione al database persa", DbFailure::ConnectionLost);
    // A statement cancelled on the server, not by the operator.
    if (state == QLatin1String("57014")) {
        if (!statementLimit_.isEmpty() && statementLimit_ != QLatin1String("0"))
            return DbError(context, "istruzione interrotta dal server: supera il tempo massimo che il server concede "
                                    "a un'istruzione (statement_timeout = " + statementLimit_.toStdString() + ")");
        return DbError(context, "istruzione annullata sul server da un'altra sessione o dall'amministratore");
    }
    const bool sqliteBusy = backend_ == Backend::SQLite &&
                            (error.nativeErrorCode() == QLatin1String("5") ||
                             error.text().contains(QLatin1String("database is locked")));
    if (state == QLatin1String("55P03") || sqliteBusy) {
        std::string reason = sqliteBusy ? "archivio bloccato da un'altra sessione" : "tabella bloccata da un'altra sessione";
        if (!lockWait_.isEmpty()) reason += " (attesa oltre " + lockWait_.toStdString() + ")";
        return DbError(context, reason, DbFailure::LockTimeout);
    }
    return DbError(context, errorText(error));
}

// ---- Statements ----

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

QSqlQuery& Database::cachedStatement(const QString& cacheKey, const std::function<QString()>& makeSql,
                                     const std::string& where)
{
    settleRows();
    if (const auto found = statements_.find(cacheKey); found != statements_.end())
        return *found->second;
    auto statement = std::make_unique<QSqlQuery>(db_);
    statement->setForwardOnly(true);
    if (!prepare(*statement, makeSql()))
        throw failure(where, statement->lastError(), statement.get());
    return *statements_.emplace(cacheKey, std::move(statement)).first->second;
}

qint64 Database::insert(const QString& tableName, const FieldValues& values,
                        const QString& keyColumn)
{
    const TableInfo& info = table(tableName);
    const auto columns = byRealColumn(info, values);
    checkTextLengths(info, columns);
    return insertColumns(info, columns, keyColumn);
}

qint64 Database::insertColumns(const TableInfo& info, const RealValues& columns, const QString& keyColumn)
{
    const QString& key = info.realColumn(keyColumn);

    // The statement is made and prepared once per table and column set.
    const QChar separator(0x1f);
    QString cacheKey = QStringLiteral("insert") + separator + info.realName() + separator + key;
    for (const auto& [name, value] : columns) cacheKey += separator + name;
    auto makeSql = [&] {
        QStringList quoted;
        for (const auto& [name, value] : columns) quoted << quote(name);
        QString sql = QStringLiteral("INSERT INTO ") + quote(info.realName());
        sql += columns.empty() ? QStringLiteral(" DEFAULT VALUES")
                               : QStringLiteral(" (") + quoted.join(QLatin1Char(',')) +
                                     QStringLiteral(") VALUES (") + placeholders(columns.size()) +
                                     QLatin1Char(')');
        // The new row's own key, never the highest in the table: a batch added
        // by another operator at the same moment cannot be taken for ours.
        switch (newKeyRule(backend_, odbc())) {
        case NewKeyRule::Returning: sql += QStringLiteral(" RETURNING ") + quote(key); break;
        case NewKeyRule::SameBatch:
            sql += newKeyQuery(backend_, odbc(), quote(info.realName()), quote(key));
            break;
        case NewKeyRule::FollowingQuery: break;
        }
        return sql;
    };

    auto where = [&] { return "Errore nell'aggiunta di una riga a " + info.realName().toStdString(); };
    QSqlQuery& statement = cachedStatement(cacheKey, makeSql, where());
    for (int i = 0; i < static_cast<int>(columns.size()); ++i)
        statement.bindValue(i, columns[static_cast<std::size_t>(i)].second);
    if (!run(statement)) throw failure(where(), statement.lastError(), &statement);

    const QVariant newKey = newKeyAfterInsert(statement, info.realName(), key);
    bool ok = false;
    const qint64 result = newKey.toLongLong(&ok);
    if (!newKey.isValid() || newKey.isNull() || !ok)
        throw DbError(where(), "il database non ha restituito il contatore della nuova riga");
    return result;
}

void Database::appendRows(const TableInfo& info, const std::vector<const RealValues*>& rows)
{
    if (rows.empty()) return;
    const RealValues& first = *rows.front();
    const QChar separator(0x1f);
    QString cacheKey = QStringLiteral("append") + separator + QString::number(rows.size()) + separator + info.realName();
    for (const auto& [name, value] : first) cacheKey += separator + name;
    auto makeSql = [&] {
        QStringList quoted;
        for (const auto& [name, value] : first) quoted << quote(name);
        QString sql = QStringLiteral("INSERT INTO ") + quote(info.realName());
        if (first.empty()) return sql + QStringLiteral(" DEFAULT VALUES");
        sql += QStringLiteral(" (") + quoted.join(QLatin1Char(',')) + QStringLiteral(") VALUES ");
        const QString one = QLatin1Char('(') + placeholders(first.size()) + QLatin1Char(')');
        for (std::size_t r = 0; r < rows.size(); ++r) sql += (r > 0 ? QStringLiteral(",") : QString()) + one;
        return sql;
    };
    const std::string where = "Errore nell'aggiunta di una riga a " + info.realName().toStdString();
    QSqlQuery& statement = cachedStatement(cacheKey, makeSql, where);
    int i = 0;
    for (const RealValues* row : rows)
        for (const auto& [name, value] : *row) statement.bindValue(i++, value);
    if (!run(statement)) throw failure(where, statement.lastError(), &statement);
    statement.finish();
}

std::size_t Database::rowsPerInsert(std::size_t columns) const
{
    // Access takes one row per INSERT; SQL Server at most 2,100 values and
    // 1,000 rows. PostgreSQL through ODBC waits for each statement: a few
    // thousand values each (psqlODBC loses the connection describing a
    // statement of some 7,500). A hundred rows elsewhere (SQLite has no waits
    // to save).
    if (backend_ == Backend::Access || columns == 0) return 1;
    std::size_t most = 100;
    if (backend_ == Backend::SqlServer) most = std::min<std::size_t>(most, 2000 / columns);
    if (backend_ == Backend::PostgreSQL && odbc()) most = std::max<std::size_t>(most, kOdbcValuesPerStatement / columns);
    return std::max<std::size_t>(1, most);
}

QVariant Database::newKeyAfterInsert(QSqlQuery& statement, const QString& table, const QString& keyColumn)
{
    QVariant key;
    switch (newKeyRule(backend_, odbc())) {
    case NewKeyRule::Returning:
        if (statement.next()) key = statement.value(0);
        statement.finish();
        break;
    case NewKeyRule::SameBatch:
        // The insert's row count comes first, then the key's one-row result.
        while (!statement.isSelect() && statement.nextResult()) {
        }
        if (statement.isSelect() && statement.next()) key = statement.value(0);
        statement.finish();
        break;
    case NewKeyRule::FollowingQuery: {
        statement.finish();
        const QString sql = newKeyQuery(backend_, odbc(), quote(table), quote(keyColumn));
        const QChar separator(0x1f);
        QSqlQuery& following =
            cachedStatement(QStringLiteral("newkey") + separator + table + separator + keyColumn, [&] { return sql; });
        if (!run(following))
            throw failure("Impossibile leggere il contatore della nuova riga", following.lastError(), &following);
        if (following.next()) key = following.value(0);
        following.finish();
        break;
    }
    }
    return key;
}

void Database::update(const QString& tableName, const FieldValues& values,
                      const QString& keyColumn, qint64 key)
{
    const TableInfo& info = table(tableName);
    const auto columns = byRealColumn(info, values);
    if (columns.empty()) return;
    checkTextLengths(info, columns);
    const QString& keyName = info.realColumn(keyColumn);

    const QChar separator(0x1f);
    QString cacheKey = QStringLiteral("update") + separator + info.realName() + separator + keyName;
    for (const auto& [name, value] : columns) cacheKey += separator + name;
    auto makeSql = [&] {
        QStringList assignments;
        for (const auto& [name, value] : columns) assignments << quote(name) + QStringLiteral("=?");
        return QStringLiteral("UPDATE ") + quote(info.realName()) + QStringLiteral(" SET ") +
               assignments.join(QLatin1Char(',')) + QStringLiteral(" WHERE ") + quote(keyName) +
               QStringLiteral("=?");
    };

    auto where = [&] {
        return "Errore nell'aggiornamento della tabella " + info.realName().toStdString() + " (" +
               keyName.toStdString() + "=" + std::to_string(key) + ")";
    };
    QSqlQuery& statement = cachedStatement(cacheKey, makeSql, where());
    int i = 0;
    for (const auto& [name, value] : columns) statement.bindValue(i++, value);
    statement.bindValue(i, key);
    if (!run(statement)) throw failure(where(), statement.lastError(), &statement);
    const int affected = statement.numRowsAffected();
    statement.finish();
    if (affected == 0) throw DbError(where(), "riga non trovata");
}

QVariantList Database::selectRow(const QString& tableName, const QStringList& columns,
                                 const QString& keyColumn, qint64 key)
{
    const TableInfo& info = table(tableName);
    const QString& keyName = info.realColumn(keyColumn);
    QStringList names;
    QStringList quoted;
    for (const QString& column : columns) {
        names << info.realColumn(column);
        quoted << quote(names.back());
    }
    const QChar separator(0x1f);
    const QString cacheKey = QStringLiteral("select") + separator + info.realName() + separator +
                             keyName + separator + names.join(separator);
    const QString sql = QStringLiteral("SELECT ") + quoted.join(QLatin1Char(',')) +
                        QStringLiteral(" FROM ") + quote(info.realName()) +
                        QStringLiteral(" WHERE ") + quote(keyName) + QStringLiteral("=?");

    const std::string where = "Errore nella lettura della tabella " +
                              info.realName().toStdString() + " (" + keyName.toStdString() + "=" +
                              std::to_string(key) + ")";
    QSqlQuery& statement = cachedStatement(cacheKey, [&] { return sql; }, where);
    statement.bindValue(0, key);
    if (!run(statement)) throw failure(where, statement.lastError(), &statement);
    if (!statement.next()) {
        statement.finish();
        throw DbError(where, "riga non trovata");
    }
    QVariantList row;
    for (int i = 0; i < names.size(); ++i) row << statement.value(i);
    statement.finish();
    return row;
}

void Database::execute(const QString& sql, const QVariantList& binds)
{
    QSqlQuery statement = query(sql, binds);
    statement.finish();
}

void Database::executeDirect(const QString& sql)
{
    settleRows();
    QSqlQuery statement(db_);
    if (!run(statement, &sql)) throw failure("Errore del database", statement.lastError(), &statement);
    statement.finish();
}

void Database::executePrepared(const QString& sql, const QVariantList& binds)
{
    QSqlQuery& statement = cachedStatement(QStringLiteral("sql:") + sql, [&] { return sql; });
    for (int i = 0; i < binds.size(); ++i) statement.bindValue(i, binds[i]);
    if (!run(statement)) throw failure("Errore del database", statement.lastError(), &statement);
    statement.finish();
}

QSqlQuery& Database::queryPrepared(const QString& sql, const QVariantList& binds)
{
    QSqlQuery& statement = cachedStatement(QStringLiteral("sql:") + sql, [&] { return sql; });
    for (int i = 0; i < binds.size(); ++i) statement.bindValue(i, binds[i]);
    if (!run(statement)) throw failure("Errore del database", statement.lastError(), &statement);
    return statement;
}

bool Database::next(QSqlQuery& rows) const
{
    if (rows.next()) return true;
    if (rows.lastError().isValid() || (canceller_ && canceller_->cancelled()))
        throw failure("Errore nella lettura dal database", rows.lastError(), &rows);
    return false;
}

QSqlQuery Database::query(const QString& sql, const QVariantList& binds)
{
    settleRows();
    QSqlQuery statement(db_);
    statement.setForwardOnly(true);
    bool ok = false;
    if (binds.isEmpty() && !odbc()) {
        // Without values the statement goes as it is: Qt's PostgreSQL driver
        // cannot prepare every kind of statement (CREATE TABLE among them).
        // Through ODBC it is prepared all the same, so that the statement
        // handle exists, to be cancelled, before the statement runs.
        ok = run(statement, &sql);
    } else {
        ok = prepare(statement, sql);
        if (ok) {
            for (int i = 0; i < binds.size(); ++i) statement.bindValue(i, binds[i]);
            ok = run(statement);
        }
    }
    if (!ok) throw failure("Errore del database", statement.lastError(), &statement);
    return statement;
}

}  // namespace crv::db
