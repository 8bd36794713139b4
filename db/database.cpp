#include "db/database.h"

#include <algorithm>
#include <atomic>

#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>

#include "db/driver_reason.h"
#include "db/field_length.h"
#include "db/odbc_catalog.h"

namespace crv::db {

namespace {

QString uniqueConnectionName()
{
    static std::atomic<quint64> serial{0};
    return QStringLiteral("crvxml-db-%1").arg(++serial);
}

QString placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i) marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

// The value kept for each real column: a later value for the same field
// (under any spelling) replaces an earlier one.
std::vector<std::pair<QString, QVariant>> byRealColumn(const TableInfo& info,
                                                       const FieldValues& values)
{
    std::vector<std::pair<QString, QVariant>> columns;
    for (const auto& [name, value] : values) {
        const QString& real = info.realColumn(name);
        auto same = std::find_if(columns.begin(), columns.end(),
                                 [&](const auto& entry) { return entry.first == real; });
        if (same != columns.end())
            same->second = value;
        else
            columns.emplace_back(real, value);
    }
    return columns;
}

}  // namespace

std::unique_ptr<Database> Database::open(const ConnectionSpec& connSpec, OpenMode mode)
{
    if (!QSqlDatabase::isDriverAvailable(connSpec.driverName))
        throw DbError("Driver di database non disponibile", connSpec.driverName.toStdString());
    if (connSpec.dialect == Dialect::SQLite && mode == OpenMode::Existing &&
        connSpec.databaseName != QLatin1String(":memory:") && !QFileInfo::exists(connSpec.databaseName))
        throw DbError("Archivio non trovato", connSpec.databaseName.toStdString());

    auto database = std::make_unique<Database>(Token{}, connSpec);
    QSqlDatabase& db = database->db_;
    db.setDatabaseName(connSpec.databaseName);
    if (!connSpec.host.isEmpty()) db.setHostName(connSpec.host);
    if (connSpec.port > 0) db.setPort(connSpec.port);
    if (!connSpec.user.isEmpty()) db.setUserName(connSpec.user);
    if (!connSpec.password.isEmpty()) db.setPassword(connSpec.password);
    QString options = connSpec.options;
    if (connSpec.dialect == Dialect::SQLite) {
        // Another operator's run holds the file's write lock for the length of
        // its transaction: wait for it rather than fail at once.
        const QString busy = QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000");
        options = options.isEmpty() ? busy : options + QLatin1Char(';') + busy;
    }
    db.setConnectOptions(options);
    // Amounts come back exactly (as text where the driver can), never rounded through a double.
    db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!db.open())
        throw DbError("Impossibile aprire il database", database->errorText(db.lastError()));
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
    return database;
}

Database::Database(Token, ConnectionSpec connSpec)
    : spec_(std::move(connSpec)),
      backend_(spec_.dialect == Dialect::PostgreSQL ? Backend::PostgreSQL : Backend::SQLite),
      connectionName_(uniqueConnectionName()), db_(QSqlDatabase::addDatabase(spec_.driverName, connectionName_))
{
}

Database::~Database()
{
    // Roll back before the prepared statements go: PostgreSQL refuses to free
    // them inside a transaction that an error has aborted.
    if (db_.isOpen() && inTransaction_) {
        if (transactionByStatements())
            QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
        else
            db_.rollback();
    }
    statements_.clear();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

std::string Database::errorText(const QSqlError& error) const
{
    return driverReason(error, spec_, backend_);
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
        while (rows.next()) candidates << rows.value(0).toString();
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
        while (rows.next()) {
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
    tables_.clear();
    statements_.clear();
}

// ---- Transactions ----

void Database::begin()
{
    if (inTransaction_) throw DbError("Una transazione è già aperta");
    if (transactionByStatements()) {
        // Take the file's write lock at once: a run that only read first and
        // then wanted to write could deadlock with another operator's run,
        // while waiting at the start is served by the busy timeout. Through
        // ODBC too: the SQLite driver's own transactions begin deferred.
        QSqlQuery statement(db_);
        if (!statement.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw DbError("Impossibile aprire la transazione", errorText(statement.lastError()));
    } else if (!db_.transaction()) {
        throw DbError("Impossibile aprire la transazione", errorText(db_.lastError()));
    }
    inTransaction_ = true;
}

void Database::commit()
{
    if (!inTransaction_) throw DbError("Nessuna transazione aperta da confermare");
    for (auto& [key, statement] : statements_) statement->finish();
    if (transactionByStatements()) {
        QSqlQuery statement(db_);
        if (!statement.exec(QStringLiteral("COMMIT")))
            throw DbError("Impossibile confermare la transazione", errorText(statement.lastError()));
    } else if (!db_.commit()) {
        throw DbError("Impossibile confermare la transazione", errorText(db_.lastError()));
    }
    inTransaction_ = false;
}

void Database::rollback()
{
    if (!inTransaction_) return;
    for (auto& [key, statement] : statements_) statement->finish();
    inTransaction_ = false;
    if (transactionByStatements()) {
        QSqlQuery statement(db_);
        if (!statement.exec(QStringLiteral("ROLLBACK")))
            throw DbError("Impossibile annullare la transazione", errorText(statement.lastError()));
    } else if (!db_.rollback()) {
        throw DbError("Impossibile annullare la transazione", errorText(db_.lastError()));
    }
}

// ---- Statements ----

QSqlQuery& Database::cachedStatement(const QString& cacheKey, const std::function<QString()>& makeSql)
{
    if (const auto found = statements_.find(cacheKey); found != statements_.end())
        return *found->second;
    auto statement = std::make_unique<QSqlQuery>(db_);
    statement->setForwardOnly(true);
    if (!statement->prepare(makeSql()))
        throw DbError("Istruzione non accettata dal database", errorText(statement->lastError()));
    return *statements_.emplace(cacheKey, std::move(statement)).first->second;
}

qint64 Database::insert(const QString& tableName, const FieldValues& values,
                        const QString& keyColumn)
{
    const TableInfo& info = table(tableName);
    const auto columns = byRealColumn(info, values);
    checkTextLengths(info, columns);
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

    QSqlQuery& statement = cachedStatement(cacheKey, makeSql);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i)
        statement.bindValue(i, columns[static_cast<std::size_t>(i)].second);
    auto where = [&] { return "Errore nell'aggiunta di una riga a " + info.realName().toStdString(); };
    if (!statement.exec()) throw DbError(where(), errorText(statement.lastError()));

    const QVariant newKey = newKeyAfterInsert(statement, info.realName(), key);
    bool ok = false;
    const qint64 result = newKey.toLongLong(&ok);
    if (!newKey.isValid() || newKey.isNull() || !ok)
        throw DbError(where(), "il database non ha restituito il contatore della nuova riga");
    return result;
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
        if (!following.exec())
            throw DbError("Impossibile leggere il contatore della nuova riga", errorText(following.lastError()));
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

    QSqlQuery& statement = cachedStatement(cacheKey, makeSql);
    int i = 0;
    for (const auto& [name, value] : columns) statement.bindValue(i++, value);
    statement.bindValue(i, key);
    auto where = [&] {
        return "Errore nell'aggiornamento della tabella " + info.realName().toStdString() + " (" +
               keyName.toStdString() + "=" + std::to_string(key) + ")";
    };
    if (!statement.exec()) throw DbError(where(), errorText(statement.lastError()));
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

    QSqlQuery& statement = cachedStatement(cacheKey, [&] { return sql; });
    statement.bindValue(0, key);
    const std::string where = "Errore nella lettura della tabella " +
                              info.realName().toStdString() + " (" + keyName.toStdString() + "=" +
                              std::to_string(key) + ")";
    if (!statement.exec()) throw DbError(where, errorText(statement.lastError()));
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

void Database::executePrepared(const QString& sql, const QVariantList& binds)
{
    QSqlQuery& statement = cachedStatement(QStringLiteral("sql:") + sql, [&] { return sql; });
    for (int i = 0; i < binds.size(); ++i) statement.bindValue(i, binds[i]);
    if (!statement.exec()) throw DbError("Errore del database", errorText(statement.lastError()));
    statement.finish();
}

QSqlQuery& Database::queryPrepared(const QString& sql, const QVariantList& binds)
{
    QSqlQuery& statement = cachedStatement(QStringLiteral("sql:") + sql, [&] { return sql; });
    for (int i = 0; i < binds.size(); ++i) statement.bindValue(i, binds[i]);
    if (!statement.exec()) throw DbError("Errore del database", errorText(statement.lastError()));
    return statement;
}

QSqlQuery Database::query(const QString& sql, const QVariantList& binds)
{
    QSqlQuery statement(db_);
    statement.setForwardOnly(true);
    bool ok = false;
    if (binds.isEmpty()) {
        // Without values the statement goes as it is: PostgreSQL cannot
        // prepare every kind of statement (CREATE TABLE among them).
        ok = statement.exec(sql);
    } else {
        ok = statement.prepare(sql);
        if (ok) {
            for (int i = 0; i < binds.size(); ++i) statement.bindValue(i, binds[i]);
            ok = statement.exec();
        }
    }
    if (!ok) throw DbError("Errore del database", errorText(statement.lastError()));
    return statement;
}

}  // namespace crv::db
