#include "db/backend.h"

namespace crv::db {

QString backendName(Backend backend)
{
    switch (backend) {
    case Backend::SQLite: return QStringLiteral("SQLite");
    case Backend::PostgreSQL: return QStringLiteral("PostgreSQL");
    case Backend::SqlServer: return QStringLiteral("Microsoft SQL Server");
    case Backend::Access: return QStringLiteral("Microsoft Access");
    }
    return {};
}

std::optional<Backend> backendFromDbmsName(const QString& dbmsName)
{
    const QString name = dbmsName.trimmed().toLower();
    if (name.startsWith(QLatin1String("sqlite"))) return Backend::SQLite;
    if (name.startsWith(QLatin1String("postgresql"))) return Backend::PostgreSQL;
    // Microsoft's drivers and FreeTDS both answer "Microsoft SQL Server".
    if (name.contains(QLatin1String("sql server"))) return Backend::SqlServer;
    // The Access driver answers "ACCESS", whether the file is .mdb or .accdb.
    if (name == QLatin1String("access") || name == QLatin1String("ms access") ||
        name == QLatin1String("microsoft access"))
        return Backend::Access;
    return std::nullopt;
}

QString quoteIdentifier(Backend backend, const QString& identifier)
{
    switch (backend) {
    case Backend::SqlServer:
    case Backend::Access: {
        // Brackets work whatever QUOTED_IDENTIFIER says; a "]" inside is doubled.
        QString inner = identifier;
        inner.replace(QLatin1Char(']'), QLatin1String("]]"));
        return QLatin1Char('[') + inner + QLatin1Char(']');
    }
    case Backend::SQLite:
    case Backend::PostgreSQL: break;
    }
    QString inner = identifier;
    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

NewKeyRule newKeyRule(Backend backend, bool odbc)
{
    switch (backend) {
    case Backend::PostgreSQL: return NewKeyRule::Returning;
    // The SQLite ODBC driver runs an INSERT ... RETURNING but gives no rows back.
    case Backend::SQLite: return odbc ? NewKeyRule::FollowingQuery : NewKeyRule::Returning;
    // SCOPE_IDENTITY() is empty outside the insert's own batch, and
    // OUTPUT INSERTED is refused on a table with triggers.
    case Backend::SqlServer: return NewKeyRule::SameBatch;
    case Backend::Access: return NewKeyRule::FollowingQuery;
    }
    return NewKeyRule::Returning;
}

QString newKeyQuery(Backend backend, bool odbc, const QString& table, const QString& key)
{
    switch (newKeyRule(backend, odbc)) {
    case NewKeyRule::Returning: return {};
    case NewKeyRule::SameBatch:
        return QStringLiteral("; SELECT CAST(SCOPE_IDENTITY() AS BIGINT)");
    case NewKeyRule::FollowingQuery:
        // Both are the connection's own: another operator's row or a row
        // added by a trigger does not change them (Access has no triggers).
        // SQLite gives the row's rowid: the key is read from that row, so a
        // counter that is not the rowid itself comes back as well.
        if (backend == Backend::SQLite)
            return QStringLiteral("SELECT ") + key + QStringLiteral(" FROM ") + table +
                   QStringLiteral(" WHERE rowid = last_insert_rowid()");
        return QStringLiteral("SELECT @@IDENTITY");
    }
    return {};
}

}  // namespace crv::db
