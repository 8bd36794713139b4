#include "db/driver_state.h"

#include <array>

#include <QSqlDriver>
#include <QSqlResult>
#include <QVariant>

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>

namespace crv::db {
namespace {

// The handle a Qt driver or result object holds, when it has the type the
// driver names it by ("PGconn*"; ODBC's SQLHANDLE is a void*).
template <typename T>
T handleOf(const QVariant& handle, const char* typeName)
{
    if (!handle.isValid() || qstrcmp(handle.typeName(), typeName) != 0) return nullptr;
    return *static_cast<const T*>(handle.constData());
}

SQLHANDLE odbcHandle(const QVariant& handle)
{
    return handleOf<SQLHANDLE>(handle, QMetaType::fromType<SQLHANDLE>().name());
}

QString odbcState(SQLSMALLINT type, SQLHANDLE handle)
{
    if (handle == nullptr) return {};
    std::array<SQLCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLCHAR, 8> message{};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(type, handle, 1, state.data(), &native, message.data(),
                                       static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) return {};
    return QString::fromLatin1(reinterpret_cast<const char*>(state.data()), 5);
}

}  // namespace

pg_conn* libpqConnection(const QSqlDatabase& db)
{
    if (db.driverName() != QLatin1String("QPSQL") || !db.driver()) return nullptr;
    // Qt names the type after libpq's struct or its typedef, by version.
    const QVariant handle = db.driver()->handle();
    if (PGconn* const connection = handleOf<PGconn*>(handle, "pg_conn*")) return connection;
    return handleOf<PGconn*>(handle, "PGconn*");
}

QString sqlState(const QSqlDatabase& db, const QSqlError& error, const QSqlQuery* statement)
{
    if (db.driverName() == QLatin1String("QPSQL")) return error.nativeErrorCode();
    if (db.driverName() != QLatin1String("QODBC") || !db.driver()) return {};
    if (statement != nullptr && statement->result() != nullptr)
        return odbcState(SQL_HANDLE_STMT, odbcHandle(statement->result()->handle()));
    return odbcState(SQL_HANDLE_DBC, odbcHandle(db.driver()->handle()));
}

bool connectionLost(const QSqlDatabase& db)
{
    if (!db.driver()) return false;
    // Qt's PostgreSQL driver marks itself closed when libpq has lost the server.
    if (!db.isOpen()) return true;
    if (db.driverName() == QLatin1String("QPSQL")) {
        PGconn* const connection = libpqConnection(db);
        return connection != nullptr && PQstatus(connection) == CONNECTION_BAD;
    }
    if (db.driverName() == QLatin1String("QODBC")) {
        const SQLHANDLE connection = odbcHandle(db.driver()->handle());
        if (connection == nullptr) return false;
        SQLUINTEGER dead = SQL_CD_FALSE;
        const SQLRETURN rc = SQLGetConnectAttr(connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
        return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
    }
    return false;
}

}  // namespace crv::db
