#include "db/odbc_catalog.h"

#include <array>
#include <optional>

#include <QSqlDriver>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "db/db_error.h"

namespace crv::db {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide characters are UTF-16");

QString fromWide(const SQLWCHAR* text, qsizetype units)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), units);
}

// The connection handle Qt's ODBC driver opened.
SQLHDBC connectionHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.isOpen() && db.driver() ? db.driver()->handle() : QVariant();
    if (db.driverName() != QLatin1String("QODBC") || handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        throw DbError("La connessione non è una connessione ODBC aperta");
    const SQLHANDLE hdbc = *static_cast<const SQLHANDLE*>(handle.constData());
    if (hdbc == nullptr) throw DbError("La connessione non è una connessione ODBC aperta");
    return hdbc;
}

// The driver's own diagnostic texts for a handle, one per line.
std::string diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QStringList lines;
    for (SQLSMALLINT record = 1;; ++record) {
        std::array<SQLWCHAR, 6> state{};
        std::array<SQLWCHAR, 1024> message{};
        SQLINTEGER nativeError = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state.data(), &nativeError, message.data(),
                                            static_cast<SQLSMALLINT>(message.size()), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        lines << fromWide(message.data(), std::min<qsizetype>(length, message.size() - 1));
    }
    return lines.join(QLatin1Char('\n')).toStdString();
}

// A statement handle freed when it goes.
class Statement {
public:
    explicit Statement(SQLHDBC hdbc)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &handle_)))
            throw DbError("Impossibile leggere il catalogo ODBC", diagnostics(SQL_HANDLE_DBC, hdbc));
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    SQLHSTMT get() const { return handle_; }

private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// One text column of the current row; nothing when it is Null.
std::optional<QString> textAt(SQLHSTMT statement, SQLUSMALLINT column)
{
    QString text;
    std::array<SQLWCHAR, 256> chunk{};
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement, column, SQL_C_WCHAR, chunk.data(),
                                        static_cast<SQLLEN>(chunk.size() * sizeof(SQLWCHAR)), &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc))
            throw DbError("Impossibile leggere il catalogo ODBC", diagnostics(SQL_HANDLE_STMT, statement));
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        // A long value comes in pieces, each ending in a terminator.
        const qsizetype room = chunk.size() - 1;
        const qsizetype units = indicator == SQL_NO_TOTAL || indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR)) > room
                                    ? room
                                    : indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR));
        text += fromWide(chunk.data(), units);
        if (rc == SQL_SUCCESS) break;
    }
    return text;
}

std::optional<long> numberAt(SQLHSTMT statement, SQLUSMALLINT column)
{
    SQLINTEGER value = 0;
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, column, SQL_C_SLONG, &value, sizeof value, &indicator);
    if (!SQL_SUCCEEDED(rc))
        throw DbError("Impossibile leggere il catalogo ODBC", diagnostics(SQL_HANDLE_STMT, statement));
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    return value;
}

// The catalog's table argument is a pattern: "_" and "%" in a real name are
// escaped with the driver's escape character.
QString escapedPattern(SQLHDBC hdbc, const QString& name)
{
    std::array<SQLWCHAR, 8> escape{};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(hdbc, SQL_SEARCH_PATTERN_ESCAPE, escape.data(),
                                   static_cast<SQLSMALLINT>(escape.size() * sizeof(SQLWCHAR)), &length)) ||
        length <= 0)
        return name;
    const QString esc = fromWide(escape.data(), length / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)));
    QString pattern;
    for (const QChar c : name) {
        if (c == QLatin1Char('_') || c == QLatin1Char('%') || esc == c) pattern += esc;
        pattern += c;
    }
    return pattern;
}

// Characters a field of this ODBC type holds, from the catalog's size.
int definedSize(long dataType, std::optional<long> columnSize)
{
    switch (dataType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        return columnSize && *columnSize > 0 ? static_cast<int>(*columnSize) : -1;
    default:
        return -1;  // long texts (memo), numbers, dates
    }
}

}  // namespace

QString odbcDbmsName(const QSqlDatabase& db)
{
    const SQLHDBC hdbc = connectionHandle(db);
    std::array<SQLWCHAR, 256> name{};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(hdbc, SQL_DBMS_NAME, name.data(),
                                   static_cast<SQLSMALLINT>(name.size() * sizeof(SQLWCHAR)), &length)))
        throw DbError("Il driver ODBC non dice quale database raggiunge", diagnostics(SQL_HANDLE_DBC, hdbc));
    const qsizetype units = std::min<qsizetype>(length / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)), name.size() - 1);
    return fromWide(name.data(), units);
}

std::vector<Column> odbcColumns(const QSqlDatabase& db, const QString& table)
{
    const SQLHDBC hdbc = connectionHandle(db);
    const Statement statement(hdbc);
    const std::u16string pattern = escapedPattern(hdbc, table).toStdU16String();
    const SQLRETURN rc = SQLColumnsW(statement.get(), nullptr, 0, nullptr, 0,
                                     reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(pattern.c_str())), SQL_NTS,
                                     nullptr, 0);
    if (!SQL_SUCCEEDED(rc))
        throw DbError("Impossibile leggere i campi della tabella " + table.toStdString(),
                      diagnostics(SQL_HANDLE_STMT, statement.get()));

    // Result columns of SQLColumns: 1 TABLE_CAT, 2 TABLE_SCHEM, 3 TABLE_NAME,
    // 4 COLUMN_NAME, 5 DATA_TYPE, 6 TYPE_NAME, 7 COLUMN_SIZE. They are read
    // in that order, as some drivers require.
    std::vector<Column> columns;
    std::optional<std::pair<std::optional<QString>, std::optional<QString>>> firstOwner;
    for (;;) {
        const SQLRETURN fetched = SQLFetch(statement.get());
        if (fetched == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(fetched))
            throw DbError("Impossibile leggere i campi della tabella " + table.toStdString(),
                          diagnostics(SQL_HANDLE_STMT, statement.get()));
        const auto owner = std::pair{textAt(statement.get(), 1), textAt(statement.get(), 2)};
        const auto tableName = textAt(statement.get(), 3);
        const auto name = textAt(statement.get(), 4);
        const auto dataType = numberAt(statement.get(), 5);
        const auto typeName = textAt(statement.get(), 6);
        const auto size = numberAt(statement.get(), 7);
        if (!name || tableName.value_or(QString()) != table) continue;
        if (!firstOwner) firstOwner = owner;
        if (owner != *firstOwner) continue;
        columns.push_back({*name, typeName.value_or(QString()), definedSize(dataType.value_or(0), size)});
    }
    return columns;
}

}  // namespace crv::db
