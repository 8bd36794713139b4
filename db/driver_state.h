#pragma once
// What a failed statement leaves in the driver beyond Qt's error text: the
// SQLSTATE the database gave, and whether the connection itself is gone.
// Qt's PostgreSQL driver hands out libpq's connection, ODBC its handles.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

struct pg_conn;  // libpq's PGconn

namespace crv::db {

// libpq's connection behind Qt's PostgreSQL driver; null with other drivers
// or before it was opened.
pg_conn* libpqConnection(const QSqlDatabase& db);

// The SQLSTATE of a failure ("55P03"), from Qt's error (PostgreSQL) or from
// the ODBC statement or connection handle; empty when none is known.
// `statement` is the failed query, or null for a failure of the connection
// (begin, commit, rollback).
QString sqlState(const QSqlDatabase& db, const QSqlError& error, const QSqlQuery* statement);

// True when a connection that was opened has broken: Qt's driver no longer
// holds it open, libpq's status, ODBC's SQL_ATTR_CONNECTION_DEAD. Never for
// an open SQLite file through Qt's own driver.
bool connectionLost(const QSqlDatabase& db);

}  // namespace crv::db
