#pragma once
// The database behind a connection, whatever driver reaches it: Qt's own
// SQLite and PostgreSQL drivers, or ODBC to one of the databases below. Each
// has its own way to quote a name, to list a table's fields with their sizes
// and to tell the key of a row just added.
#include <optional>

#include <QString>

namespace crv::db {

enum class Backend { SQLite, PostgreSQL, SqlServer, Access };

// How the key of a row just added comes back.
enum class NewKeyRule {
    Returning,       // INSERT ... RETURNING key
    FollowingQuery,  // a query on the same connection right after the insert
    SameBatch,       // the insert and the query sent together, one batch
};

// The database's name as the messages show it ("Microsoft SQL Server").
QString backendName(Backend backend);

// The database an ODBC driver names (SQLGetInfo SQL_DBMS_NAME): "SQLite",
// "PostgreSQL", "Microsoft SQL Server", "ACCESS"; nothing for any other.
std::optional<Backend> backendFromDbmsName(const QString& dbmsName);

// A table or field name quoted for that database: "Tabella Pratiche" for
// SQLite and PostgreSQL, [Tabella Pratiche] for SQL Server and Access.
QString quoteIdentifier(Backend backend, const QString& identifier);

// How the key of a new row is learnt, through Qt's own driver (`odbc` false)
// or through ODBC.
NewKeyRule newKeyRule(Backend backend, bool odbc);

// The query that follows the insert (FollowingQuery), or the text sent after
// the insert in the same batch (SameBatch); empty for Returning. `table` and
// `key` are already quoted.
QString newKeyQuery(Backend backend, bool odbc, const QString& table, const QString& key);

}  // namespace crv::db
