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
// unfold into rows; made in UTF-8 and turned into the one text bound.
QString jsonArray(const CodiciDaCercare& codici)
{
    std::string out = "[";
    for (std::size_t i = 0; i < codici.size(); ++i) {
        if (i > 0) out += ',';
        out += '"';
        for (const char c : codici.codice(i)) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
        out += '"';
    }
    out += ']';
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
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

using Trovata = std::function<void(const PosizioneTrovata&)>;

void leggiTrovate(const Database& db, QSqlQuery& rows, std::size_t from, const Trovata& trovata)
{
    while (db.next(rows)) {
        PosizioneTrovata t;
        t.indice = from + static_cast<std::size_t>(rows.value(0).toLongLong());
        if (!rows.value(1).isNull()) t.lotto = rows.value(1).toLongLong();
        t.righe = rows.value(2).toLongLong();
        trovata(t);
    }
    rows.finish();
}

// PostgreSQL: the codes unfold from one JSON parameter. The planner takes
// them for a hundred rows: it looks each up through an index on posizione
// when there is one, and otherwise hashes them and reads the table once.
void inUnPassoPostgres(Database& db, const Nomi& n, const CodiciDaCercare& codici,
                       const std::optional<qint64>& escludiLotto, const Trovata& trovata)
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
    leggiTrovate(db, rows, 0, trovata);
}

// SQLite: the codes go to a temporary table of the connection (its own
// file, so even an archive that may only be read takes it). With an index on
// posizione SQLite looks each code up; without, it reads the table once and
// looks each row up in an index it makes on the codes. The column stands on
// the left: its collation decides. The table is emptied, never dropped: a
// DROP would fail while a statement of the run's writer is still open.
void inUnPassoSqlite(Database& db, const Nomi& n, const CodiciDaCercare& codici,
                     const std::optional<qint64>& escludiLotto, const Trovata& trovata)
{
    db.execute(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS crvxml_codici (k INTEGER PRIMARY KEY, c TEXT)"));
    const QString empty = QStringLiteral("DELETE FROM ") + kCodiciSqlite;
    db.execute(empty);
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
        leggiTrovate(db, rows, 0, trovata);
    } catch (...) {
        try {
            db.execute(empty);
        } catch (const DbError&) {
            // The first failure is the one to tell.
        }
        throw;
    }
    db.execute(empty);
}

// SQL Server and Access: a few hundred codes per statement (Access, which
// knows no VALUES list, one).
void aPezzi(Database& db, const Nomi& n, const CodiciDaCercare& codici, const std::optional<qint64>& escludiLotto,
            const Trovata& trovata)
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
    for (std::size_t from = 0; from < codici.size(); from += perStatement) {
        const std::size_t count = std::min(perStatement, codici.size() - from);
        QVariantList binds;
        for (std::size_t k = 0; k < count; ++k) {
            const std::string_view code = codici.codice(from + k);
            binds << QString::fromUtf8(code.data(), static_cast<qsizetype>(code.size()));
        }
        if (escludiLotto) binds << *escludiLotto;
        // Every full chunk runs the same statement, parsed and planned once.
        QSqlQuery& rows = db.queryPrepared(statementFor(count), binds);
        leggiTrovate(db, rows, from, trovata);
    }
}

}  // namespace

void cercaPosizioni(Database& db, const CodiciDaCercare& codici, std::optional<qint64> escludiLotto,
                    const std::function<void(const PosizioneTrovata&)>& trovata)
{
    const Nomi n(db);
    if (codici.size() == 0) return;
    switch (db.backend()) {
    case Backend::PostgreSQL: return inUnPassoPostgres(db, n, codici, escludiLotto, trovata);
    case Backend::SQLite: return inUnPassoSqlite(db, n, codici, escludiLotto, trovata);
    case Backend::SqlServer:
    case Backend::Access: break;
    }
    aPezzi(db, n, codici, escludiLotto, trovata);
}

std::vector<PosizioneTrovata> cercaPosizioni(Database& db, const std::vector<QString>& codici,
                                             std::optional<qint64> escludiLotto)
{
    struct Codici final : CodiciDaCercare {
        std::vector<QByteArray> utf8;
        std::size_t size() const override { return utf8.size(); }
        std::string_view codice(std::size_t i) const override
        {
            return std::string_view(utf8[i].constData(), static_cast<std::size_t>(utf8[i].size()));
        }
    } codes;
    for (const QString& c : codici) codes.utf8.push_back(c.toUtf8());
    std::vector<PosizioneTrovata> found;
    cercaPosizioni(db, codes, escludiLotto, [&](const PosizioneTrovata& t) { found.push_back(t); });
    return found;
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
    const bool indexed = db.next(count) && count.value(0).toLongLong() > 0;
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
