#pragma once
// What Qt's ODBC driver keeps to itself, asked of the ODBC driver manager
// through the connection's own handle: the name of the database behind the
// driver, and the standard catalog of a table's fields.
#include <vector>

#include <QSqlDatabase>
#include <QString>

#include "db/table_info.h"

namespace crv::db {

// The database's name as the ODBC driver gives it (SQL_DBMS_NAME), e.g.
// "SQLite", "PostgreSQL", "Microsoft SQL Server", "ACCESS". Throws DbError
// when the connection is not an open QODBC one or the driver does not answer.
QString odbcDbmsName(const QSqlDatabase& db);

// The fields of `table` (its exact name) in their order, from the ODBC
// catalog (SQLColumns): name, type name and, for character fields of a
// fixed maximum, that size in characters; long texts get -1. When tables of
// that name exist in several schemas, the first schema's fields only.
// Throws DbError when the driver refuses.
std::vector<Column> odbcColumns(const QSqlDatabase& db, const QString& table);

}  // namespace crv::db
