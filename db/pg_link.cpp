#include "db/pg_link.h"

#include <cstdlib>
#include <optional>

#include <QSqlError>

#include <libpq-fe.h>

#include "db/copy_spool.h"
#include "db/database.h"
#include "db/driver_state.h"
#include "db/statement_cancel.h"

namespace crv::db {

namespace {

// The row of a COPY's data that the server refused, from the context of its
// error ("COPY name, line 3, column x: ..." in any language): the first
// number after the table's name. 0 when it is not there.
long copyLine(const PGresult* result, const QByteArray& tableName)
{
    const char* context = PQresultErrorField(result, PG_DIAG_CONTEXT);
    if (context == nullptr) return 0;
    const std::string text(context);
    const std::string head = "COPY " + tableName.toStdString() + ",";
    const std::size_t at = text.find(head);
    if (at == std::string::npos) return 0;
    const std::size_t digit = text.find_first_of("0123456789", at + head.size());
    if (digit == std::string::npos) return 0;
    return std::strtol(text.c_str() + digit, nullptr, 10);
}

// A result freed however the caller leaves.
struct Result {
    PGresult* r;
    explicit Result(PGresult* result) : r(result) {}
    ~Result() { PQclear(r); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
};

}  // namespace

std::string pgTrimmed(const char* text)
{
    std::string out = text ? text : "";
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

pg_conn* pgConnection(const Database& db)
{
    return libpqConnection(db.connection());
}

std::string pgSqlState(const pg_result* result)
{
    const char* code = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    return code ? code : "";
}

DbError pgFailure(const Database& db, const std::string& context, const pg_result* result)
{
    // Read in Italian where the operator can mend the cause (a read-only
    // server), and known for what it is (a stop, a lock waited for too long,
    // a lost server).
    return db.failure(context, QSqlError(QString(), QString::fromStdString(pgTrimmed(PQresultErrorMessage(result))),
                                         QSqlError::StatementError, QString::fromStdString(pgSqlState(result))));
}

void pgLost(const Database& db, pg_conn* conn, const std::string& context)
{
    throw db.failure(context, QSqlError(QString(), QString::fromStdString(pgTrimmed(PQerrorMessage(conn))),
                                        QSqlError::ConnectionError));
}

void pgCopyIn(const Database& db, pg_conn* conn, const QString& sql, const QString& table, const CopySpool& spool)
{
    const std::string where = "Errore nell'aggiunta delle righe a " + table.toStdString();
    db.refuseIfCancelled();
    const Canceller::Running running(db.canceller(), nullptr);
    {
        const Result start(PQexec(conn, sql.toUtf8().constData()));
        if (PQresultStatus(start.r) != PGRES_COPY_IN) {
            if (start.r == nullptr) pgLost(db, conn, where);
            throw CopyRefused(pgFailure(db, where, start.r), 0, pgSqlState(start.r));
        }
    }
    // A stop, or a scratch file that cannot be read back, ends the COPY with
    // an error of the client's own: the server keeps nothing of it.
    std::optional<DbError> ownFailure;
    try {
        spool.replay([&](const char* data, std::size_t size) {
            db.refuseIfCancelled();
            if (PQputCopyData(conn, data, static_cast<int>(size)) != 1) pgLost(db, conn, where);
        });
    } catch (const DbError& e) {
        if (PQstatus(conn) != CONNECTION_OK) throw;
        ownFailure = e;
    }
    if (PQputCopyEnd(conn, ownFailure ? "interrotta dal client" : nullptr) != 1) pgLost(db, conn, where);

    std::optional<CopyRefused> refused;
    while (PGresult* r = PQgetResult(conn)) {
        const Result result(r);
        if (PQresultStatus(r) != PGRES_COMMAND_OK && !refused && !ownFailure)
            refused.emplace(pgFailure(db, where, r), copyLine(r, table.toUtf8()), pgSqlState(r));
    }
    if (ownFailure) throw *ownFailure;
    if (PQstatus(conn) != CONNECTION_OK) pgLost(db, conn, where);
    if (refused) throw *refused;
}

}  // namespace crv::db
