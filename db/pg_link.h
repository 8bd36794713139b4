#pragma once
// libpq on the connection Qt's PostgreSQL driver opened, inside Qt's
// transaction: for what Qt does not offer (a pipeline, COPY). Failures are
// told as the rest of the database layer tells them (DbError, with what is
// known of them: a stop, a lost server).
#include <string>

#include <QString>

#include "db/db_error.h"

struct pg_conn;
struct pg_result;

namespace crv::db {

class CopySpool;
class Database;

// libpq's connection behind `db`, or null when `db` is not Qt's PostgreSQL driver.
pg_conn* pgConnection(const Database& db);
// libpq's message without its closing line end.
std::string pgTrimmed(const char* text);

// PostgreSQL's code for a failed result ("23514"), empty without one.
std::string pgSqlState(const pg_result* result);
// The server's message for a failed result, as Qt's driver would report it.
DbError pgFailure(const Database& db, const std::string& context, const pg_result* result);
// The connection broke while libpq was sending or waiting.
[[noreturn]] void pgLost(const Database& db, pg_conn* conn, const std::string& context);

// A COPY the server refused, with the row it named (from 1; 0 when it named none).
class CopyRefused : public DbError {
public:
    CopyRefused(const DbError& cause, long row, std::string sqlState)
        : DbError(cause.context(), cause.driverText(), cause.failure()), row_(row), sqlState_(std::move(sqlState))
    {
    }
    long row() const { return row_; }
    const std::string& sqlState() const { return sqlState_; }

private:
    long row_;
    std::string sqlState_;
};

// Sends every row of `spool` with one "COPY table (columns) FROM STDIN"
// (`sql`; `table` the table's real name, which the server's message names). Two waits, however many rows. A stop asked meanwhile ends the
// COPY at the next piece: nothing of it is kept. Throws CopyRefused, or
// DbError when the connection fails.
void pgCopyIn(const Database& db, pg_conn* conn, const QString& sql, const QString& table, const CopySpool& spool);

}  // namespace crv::db
