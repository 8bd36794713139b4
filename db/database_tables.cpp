// The tables' real names and layouts, read from the database's catalog
// once and kept.
#include "db/database.h"

#include <QSqlRecord>

#include "db/field_length.h"
#include "db/odbc_catalog.h"
#include "db/row_writer.h"

namespace crv::db {

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

}  // namespace crv::db
