#include "db/case_lookup.h"

#include <QSqlQuery>
#include <QStringList>

#include "db/database.h"
#include "db/schema.h"

namespace crv::db {
namespace {

const QString kPratiche = QStringLiteral("Tabella Pratiche");
// Codes per statement where they go in chunks: within every database's limit
// on parameters and on the rows of a VALUES list (SQL Server: 1000).
constexpr std::size_t kPerStatement = 500;
// The codes of one check on SQLite, emptied once it is done.
const QString kCodiciSqlite = QStringLiteral("temp.crvxml_codici");

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

// The codes as one JSON array of strings, which both SQLite and PostgreSQL
// unfold into rows.
QString jsonArray(const std::vector<QString>& codici)
{
    QString out = QStringLiteral("[");
    for (std::size_t i = 0; i < codici.size(); ++i) {
        if (i > 0) out += QLatin1Char(',');
        out += QLatin1Char('"');
        for (const QChar c : codici[i]) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                out += QLatin1Char('\\') + c;
            else if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
        out += QLatin1Char('"');
    }
    return out + QLatin1Char(']');
}

// The names one lookup needs, quoted, with the table's alias p.
struct Nomi {
    QString table, posizione, lotto;
    explicit Nomi(Database& db)
    {
        const auto& info = db.table(kPratiche);
        table = db.quote(info.realName());
        posizione = QStringLiteral("p.") + db.quote(info.realColumn(QStringLiteral("posizione")));
        lotto = QStringLiteral("p.") + db.quote(info.realColumn(QStringLiteral("lottoimportazione")));
    }
    // The condition that leaves a batch's rows out (its value bound last).
    QString escluso(const std::optional<qint64>& escludiLotto) const
    {
        return escludiLotto ? QStringLiteral(" AND (%1 <> ? OR %1 IS NULL)").arg(lotto) : QString();
    }
};

void leggiTrovate(QSqlQuery& rows, std::size_t from, std::vector<PosizioneTrovata>& found)
{
    while (rows.next()) {
        PosizioneTrovata t;
        t.indice = from + static_cast<std::size_t>(rows.value(0).toLongLong());
        if (!rows.value(1).isNull()) t.lotto = rows.value(1).toLongLong();
        t.righe = rows.value(2).toLongLong();
        found.push_back(t);
    }
    rows.finish();
}

// PostgreSQL: the codes unfold from one JSON parameter. The planner takes
// them for a hundred rows: it looks each up through an index on posizione
// when there is one, and otherwise hashes them and reads the table once.
std::vector<PosizioneTrovata> inUnPassoPostgres(Database& db, const Nomi& n, const std::vector<QString>& codici,
                                                const std::optional<qint64>& escludiLotto)
{
    const auto& info = db.table(kPratiche);
    const QString cast = tipoDellaColonna(db, info.realName(), info.realColumn(QStringLiteral("posizione")));
    QVariantList binds{jsonArray(codici)};
    if (escludiLotto) binds << *escludiLotto;
    QSqlQuery rows = db.query(
        QStringLiteral("SELECT v.k - 1, %1, COUNT(*) FROM json_array_elements_text(CAST(? AS json)) WITH ORDINALITY "
                       "AS v(c, k) JOIN %2 p ON %3 = CAST(v.c AS %4)%5 GROUP BY v.k, %1")
            .arg(n.lotto, n.table, n.posizione, cast, n.escluso(escludiLotto)),
        binds);
    std::vector<PosizioneTrovata> found;
    leggiTrovate(rows, 0, found);
    return found;
}

// SQLite: the codes go to a temporary table of the connection (its own
// file, so even an archive that may only be read takes it). With an index on
// posizione SQLite looks each code up; without, it reads the table once and
// looks each row up in an index it makes on the codes. The column stands on
// the left: its collation decides. The table is emptied, never dropped: a
// DROP would fail while a statement of the run's writer is still open.
std::vector<PosizioneTrovata> inUnPassoSqlite(Database& db, const Nomi& n, const std::vector<QString>& codici,
                                              const std::optional<qint64>& escludiLotto)
{
    db.execute(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS crvxml_codici (k INTEGER PRIMARY KEY, c TEXT)"));
    const QString empty = QStringLiteral("DELETE FROM ") + kCodiciSqlite;
    db.execute(empty);
    std::vector<PosizioneTrovata> found;
    try {
        db.execute(QStringLiteral("INSERT INTO ") + kCodiciSqlite +
                       QStringLiteral(" (k, c) SELECT CAST(key AS INTEGER), value FROM json_each(?)"),
                   {jsonArray(codici)});
        QVariantList binds;
        if (escludiLotto) binds << *escludiLotto;
        QSqlQuery rows = db.query(QStringLiteral("SELECT t.k, %1, COUNT(*) FROM %2 p JOIN %3 t ON %4 = t.c%5 "
                                                 "GROUP BY t.k, %1")
                                      .arg(n.lotto, n.table, kCodiciSqlite, n.posizione, n.escluso(escludiLotto)),
                                  binds);
        leggiTrovate(rows, 0, found);
    } catch (...) {
        try {
            db.execute(empty);
        } catch (const DbError&) {
            // The first failure is the one to tell.
        }
        throw;
    }
    db.execute(empty);
    return found;
}

// SQL Server and Access: a few hundred codes per statement (Access, which
// knows no VALUES list, one).
std::vector<PosizioneTrovata> aPezzi(Database& db, const Nomi& n, const std::vector<QString>& codici,
                                     const std::optional<qint64>& escludiLotto)
{
    const bool access = db.backend() == Backend::Access;
    const QString escluso = n.escluso(escludiLotto);
    auto statementFor = [&](std::size_t count) {
        if (access)
            return QStringLiteral("SELECT 0, %1, COUNT(*) FROM %2 p WHERE %3 = ?%4 GROUP BY %1")
                .arg(n.lotto, n.table, n.posizione, escluso);
        QStringList rows;
        for (std::size_t k = 0; k < count; ++k) rows << QStringLiteral("(?, %1)").arg(k);
        return QStringLiteral("SELECT v.k, %1, COUNT(*) FROM (VALUES %2) AS v(c, k) JOIN %3 p ON %4 = v.c%5 "
                              "GROUP BY v.k, %1")
            .arg(n.lotto, rows.join(QLatin1Char(',')), n.table, n.posizione, escluso);
    };

    const std::size_t perStatement = access ? 1 : kPerStatement;
    std::vector<PosizioneTrovata> found;
    for (std::size_t from = 0; from < codici.size(); from += perStatement) {
        const std::size_t count = std::min(perStatement, codici.size() - from);
        QVariantList binds;
        for (std::size_t k = 0; k < count; ++k) binds << codici[from + k];
        if (escludiLotto) binds << *escludiLotto;
        // Every full chunk runs the same statement, parsed and planned once.
        QSqlQuery& rows = db.queryPrepared(statementFor(count), binds);
        leggiTrovate(rows, from, found);
    }
    return found;
}

}  // namespace

std::vector<PosizioneTrovata> cercaPosizioni(Database& db, const std::vector<QString>& codici,
                                             std::optional<qint64> escludiLotto)
{
    const Nomi n(db);
    if (codici.empty()) return {};
    switch (db.backend()) {
    case Backend::PostgreSQL: return inUnPassoPostgres(db, n, codici, escludiLotto);
    case Backend::SQLite: return inUnPassoSqlite(db, n, codici, escludiLotto);
    case Backend::SqlServer:
    case Backend::Access: break;
    }
    return aPezzi(db, n, codici, escludiLotto);
}

std::optional<bool> posizioneIndicizzata(Database& db)
{
    const auto& info = db.table(kPratiche);
    const QString column = info.realColumn(QStringLiteral("posizione"));
    QString sql;
    QVariantList binds;
    switch (db.backend()) {
    case Backend::SQLite:
        sql = QStringLiteral("SELECT COUNT(*) FROM pragma_index_list(?) l JOIN pragma_index_info(l.name) i "
                             "WHERE i.seqno = 0 AND lower(i.name) = lower(?)");
        binds = {info.realName(), column};
        break;
    case Backend::PostgreSQL:
        sql = QStringLiteral("SELECT COUNT(*) FROM pg_catalog.pg_index i JOIN pg_catalog.pg_attribute a "
                             "ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0] "
                             "WHERE i.indrelid = CAST(CAST(? AS text) AS regclass) AND a.attname = CAST(? AS text)");
        binds = {db.quote(info.realName()), column};
        break;
    case Backend::SqlServer:
        sql = QStringLiteral("SELECT COUNT(*) FROM sys.index_columns ic JOIN sys.columns c "
                             "ON c.object_id = ic.object_id AND c.column_id = ic.column_id "
                             "WHERE ic.object_id = OBJECT_ID(?) AND ic.key_ordinal = 1 AND c.name = ?");
        binds = {db.quote(info.realName()), column};
        break;
    case Backend::Access: return std::nullopt;
    }
    QSqlQuery count = db.query(sql, binds);
    const bool indexed = count.next() && count.value(0).toLongLong() > 0;
    count.finish();
    return indexed;
}

QString istruzioneIndicePosizione(Database& db)
{
    const auto& info = db.table(kPratiche);
    return QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
        .arg(db.quote(indexName("Tabella Pratiche", "posizione")), db.quote(info.realName()),
             db.quote(info.realColumn(QStringLiteral("posizione"))));
}

}  // namespace crv::db
