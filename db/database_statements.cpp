// The statements: prepared once per table and column set and kept, the
// rows added with the keys the database gave them, fixed statements run.
#include "db/database.h"

#include <algorithm>

#include <QSqlDriver>

#include "db/field_length.h"
#include "db/row_writer.h"

namespace crv::db {

namespace {

// Values one statement carries to PostgreSQL through ODBC.
constexpr std::size_t kOdbcValuesPerStatement = 4000;

QString placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i) marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

// A statement's key in the cache: what it does, on which table and key
// column, with which columns, apart by a character no name holds.
QString statementKey(QStringList parts, const RealValues& columns = {})
{
    for (const auto& [name, value] : columns) parts << name;
    return parts.join(QChar(0x1f));
}

}  // namespace

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
    const QString cacheKey = statementKey({QStringLiteral("insert"), info.realName(), key}, columns);
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
    const QString cacheKey =
        statementKey({QStringLiteral("append"), QString::number(rows.size()), info.realName()}, first);
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
        QSqlQuery& following =
            cachedStatement(statementKey({QStringLiteral("newkey"), table, keyColumn}), [&] { return sql; });
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

    const QString cacheKey = statementKey({QStringLiteral("update"), info.realName(), keyName}, columns);
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
    const QString cacheKey = statementKey(QStringList{QStringLiteral("select"), info.realName(), keyName} + names);
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
