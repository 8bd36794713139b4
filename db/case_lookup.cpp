#include "db/case_lookup.h"

#include <QSqlQuery>
#include <QStringList>

#include "db/database.h"

namespace crv::db {
namespace {

const QString kPratiche = QStringLiteral("Tabella Pratiche");
// Codes per statement: within every database's limit on parameters and on
// the rows of a VALUES list (SQL Server: 1000).
constexpr std::size_t kPerStatement = 500;

// PostgreSQL types a parameter as text, and citext = text compares as text,
// letter case included: the codes are cast to the column's own type (without
// a length, which would cut them).
QString tipoDellaColonna(Database& db, const QString& table, const QString& column)
{
    QSqlQuery type = db.query(
        QStringLiteral("SELECT quote_ident(n.nspname) || '.' || quote_ident(t.typname) "
                       "FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
                       "JOIN pg_catalog.pg_namespace n ON n.oid = t.typnamespace "
                       "WHERE a.attrelid = (SELECT c.oid FROM pg_catalog.pg_class c WHERE c.relname = CAST(? AS text) "
                       "AND pg_catalog.pg_table_is_visible(c.oid) LIMIT 1) AND a.attname = CAST(? AS text)"),
        {table, column});
    if (!type.next()) throw DbError("Impossibile leggere il tipo del campo " + column.toStdString());
    return type.value(0).toString();
}

}  // namespace

std::vector<PosizioneTrovata> cercaPosizioni(Database& db, const std::vector<QString>& codici)
{
    const auto& info = db.table(kPratiche);
    const QString table = db.quote(info.realName());
    const QString posizione = QStringLiteral("p.") + db.quote(info.realColumn(QStringLiteral("posizione")));
    const QString lotto = QStringLiteral("p.") + db.quote(info.realColumn(QStringLiteral("lottoimportazione")));
    const Backend backend = db.backend();
    const QString cast = backend == Backend::PostgreSQL
                             ? tipoDellaColonna(db, info.realName(), info.realColumn(QStringLiteral("posizione")))
                             : QString();

    // The statement for `count` codes. The table's column stands on the left:
    // SQLite then compares with its collation. Access knows no VALUES list
    // and takes one code per statement.
    auto statementFor = [&](std::size_t count) {
        if (backend == Backend::Access)
            return QStringLiteral("SELECT 0, %1, COUNT(*) FROM %2 p WHERE %3 = ? GROUP BY %1")
                .arg(lotto, table, posizione);
        QStringList rows;
        for (std::size_t k = 0; k < count; ++k) rows << QStringLiteral("(?, %1)").arg(k);
        const QString code = cast.isEmpty() ? QStringLiteral("v.c") : QStringLiteral("CAST(v.c AS %1)").arg(cast);
        const QString values = backend == Backend::SQLite
                                   ? QStringLiteral("(SELECT column1 AS c, column2 AS k FROM (VALUES %1))")
                                   : QStringLiteral("(VALUES %1)");
        return QStringLiteral("SELECT v.k, %1, COUNT(*) FROM %2 AS v%3 JOIN %4 p ON %5 = %6 GROUP BY v.k, %1")
            .arg(lotto, values.arg(rows.join(QLatin1Char(','))),
                 backend == Backend::SQLite ? QString() : QStringLiteral("(c, k)"), table, posizione, code);
    };

    const std::size_t perStatement = backend == Backend::Access ? 1 : kPerStatement;
    std::vector<PosizioneTrovata> found;
    for (std::size_t from = 0; from < codici.size(); from += perStatement) {
        const std::size_t count = std::min(perStatement, codici.size() - from);
        QVariantList binds;
        for (std::size_t k = 0; k < count; ++k) binds << codici[from + k];
        // Every full chunk runs the same statement, parsed and planned once.
        QSqlQuery& rows = db.queryPrepared(statementFor(count), binds);
        while (rows.next()) {
            PosizioneTrovata t;
            t.indice = from + static_cast<std::size_t>(rows.value(0).toLongLong());
            if (!rows.value(1).isNull()) t.lotto = rows.value(1).toLongLong();
            t.righe = rows.value(2).toLongLong();
            found.push_back(t);
        }
        rows.finish();
    }
    return found;
}

}  // namespace crv::db
