#include "tools/chosen_cases.h"

#include <algorithm>

#include "db/database.h"
#include "db/statement_cancel.h"

namespace crv::tools {

namespace {

// Cases per statement where the rows come in chunks, and rows per FETCH of
// the cursor through ODBC.
constexpr std::size_t kChunk = 500;
constexpr int kFetch = 2000;

const QString kPratiche = QStringLiteral("Tabella Pratiche");
const QString kNote = QStringLiteral("notecomuni");
const QString kCursore = QStringLiteral("crvxml_pratiche_scelte");

QString marks(qsizetype count)
{
    QString text;
    text.reserve(count * 2);
    for (qsizetype i = 0; i < count; ++i) text += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return text;
}

}  // namespace

PraticheScelte::PraticheScelte(db::Database& db, const Selezione& selezione, QStringList colonne, bool conNote,
                               bool perModificare)
    : db_(db), selezione_(selezione), colonne_(std::move(colonne)), conNote_(conNote), perModificare_(perModificare)
{
    // SQL Server and Access keep the chunks they always had (Access has no
    // window functions; neither is at hand to try another way on).
    switch (db_.backend()) {
    case db::Backend::SQLite: lettura_ = Lettura::Flusso; break;
    case db::Backend::PostgreSQL:
        lettura_ = db_.dialect() == db::Dialect::ODBC ? Lettura::Cursore : Lettura::Flusso;
        break;
    case db::Backend::SqlServer:
    case db::Backend::Access: lettura_ = Lettura::APezzi; break;
    }
    const db::TableInfo& table = db_.table(kPratiche);
    const QString key = db_.quote(table.realColumn(QStringLiteral("contatore")));
    QSqlQuery rows = db_.query(QStringLiteral("SELECT ") + key + QStringLiteral(" FROM ") +
                                   db_.quote(table.realName()) + selezione_.where +
                                   QStringLiteral(" ORDER BY ") + key,
                               selezione_.binds);
    while (db_.next(rows)) contatori_.push_back(rows.value(0).toLongLong());
    if (conNote_) db_.table(kNote);  // a missing notes table is reported before any work
}

QString PraticheScelte::query(bool chunk) const
{
    const db::TableInfo& cases = db_.table(kPratiche);
    const QString key = QStringLiteral("p.") + db_.quote(cases.realColumn(QStringLiteral("contatore")));
    QString sql = QStringLiteral("SELECT ") + key;
    for (const QString& column : colonne_) sql += QStringLiteral(", p.") + db_.quote(column);
    const bool join = conNote_ && !chunk;
    if (join) sql += QStringLiteral(", n.crvxml_nota, n.crvxml_presente");
    sql += QStringLiteral(" FROM ") + db_.quote(cases.realName()) + QStringLiteral(" AS p");
    if (join) {
        const db::TableInfo& notes = db_.table(kNote);
        const QString keyOfNote = db_.quote(notes.realColumn(QStringLiteral("posizione")));
        const QString order = noteOrder(QString());
        // The database pairs notes and cases, as it does for a case's own
        // query: a column that compares without regard to case or to
        // trailing blanks finds the note, and groups a case's notes alike.
        // The notes' column comes first, so that SQLite compares by its
        // collation, as it does against a typed value.
        sql += QStringLiteral(" LEFT JOIN (SELECT crvxml_chiave, crvxml_nota, 1 AS crvxml_presente FROM (SELECT ") +
               keyOfNote + QStringLiteral(" AS crvxml_chiave, ") +
               db_.quote(notes.realColumn(QStringLiteral("note comuni"))) +
               QStringLiteral(" AS crvxml_nota, ROW_NUMBER() OVER (PARTITION BY ") + keyOfNote +
               QStringLiteral(" ORDER BY ") + (order.isEmpty() ? keyOfNote : order) +
               QStringLiteral(") AS crvxml_ordine FROM ") +
               db_.quote(notes.realName()) +
               QStringLiteral(") AS n1 WHERE crvxml_ordine = 1) AS n ON n.crvxml_chiave = p.") +
               db_.quote(cases.realColumn(QStringLiteral("posizione")));
    }
    // The filter's columns are the case table's: the notes show none of theirs.
    sql += chunk ? QStringLiteral(" WHERE ") + key + QStringLiteral(" IN (%1)") : selezione_.where;
    sql += QStringLiteral(" ORDER BY ") + key;
    if (perModificare_ && db_.backend() == db::Backend::PostgreSQL) sql += QStringLiteral(" FOR UPDATE OF p");
    return sql;
}

QString PraticheScelte::noteOrder(const QString& prefix) const
{
    // "The first row" of a case's notes is the first one entered: by the
    // table's counter when it has one, else by the row's place in the table,
    // whichever driver (Qt's own or ODBC) reaches the database.
    const db::TableInfo& notes = db_.table(kNote);
    if (const db::Column* counter = notes.find("contatore")) return prefix + db_.quote(counter->name);
    if (db_.backend() == db::Backend::SQLite) return prefix + QStringLiteral("rowid");
    if (db_.backend() == db::Backend::PostgreSQL) return prefix + QStringLiteral("ctid");
    return QString();
}

void PraticheScelte::leggiNote(const QVariantList& keys, QHash<qint64, QVariant>& note)
{
    const db::TableInfo& cases = db_.table(kPratiche);
    const db::TableInfo& notes = db_.table(kNote);
    const QString key = QStringLiteral("p.") + db_.quote(cases.realColumn(QStringLiteral("contatore")));
    const QString order = noteOrder(QStringLiteral("n."));
    const QString sql = QStringLiteral("SELECT ") + key + QStringLiteral(", n.") +
                        db_.quote(notes.realColumn(QStringLiteral("note comuni"))) + QStringLiteral(" FROM ") +
                        db_.quote(cases.realName()) + QStringLiteral(" AS p INNER JOIN ") +
                        db_.quote(notes.realName()) + QStringLiteral(" AS n ON n.") +
                        db_.quote(notes.realColumn(QStringLiteral("posizione"))) + QStringLiteral(" = p.") +
                        db_.quote(cases.realColumn(QStringLiteral("posizione"))) + QStringLiteral(" WHERE ") + key +
                        QStringLiteral(" IN (") + marks(keys.size()) + QStringLiteral(") ORDER BY ") + key +
                        (order.isEmpty() ? QString() : QStringLiteral(", ") + order);
    QSqlQuery rows = db_.query(sql, keys);
    while (db_.next(rows)) {
        const qint64 contatore = rows.value(0).toLongLong();
        if (!note.contains(contatore)) note.insert(contatore, rows.value(1));
    }
}

bool PraticheScelte::leggi(const QSqlQuery& row, PraticaLetta& p, bool conNota)
{
    const qint64 contatore = row.value(0).toLongLong();
    while (prossimo_ < contatori_.size() && contatori_[prossimo_] < contatore) ++prossimo_;
    // A case added since the counters were read, or a second note that the
    // database paired with a case already read.
    if (prossimo_ == contatori_.size() || contatori_[prossimo_] != contatore) return false;
    ++prossimo_;
    p.contatore = contatore;
    p.valori.clear();
    for (int i = 0; i < colonne_.size(); ++i) p.valori << row.value(1 + i);
    p.haNota = false;
    p.nota = QVariant();
    if (conNota) {
        const int at = 1 + static_cast<int>(colonne_.size());
        p.nota = row.value(at);
        p.haNota = !row.value(at + 1).isNull();
        if (!p.haNota) p.nota = QVariant();
    }
    return true;
}

bool PraticheScelte::perOgni(const std::function<bool(const PraticaLetta&)>& visita)
{
    prossimo_ = 0;
    if (contatori_.empty()) return true;
    switch (lettura_) {
    case Lettura::Flusso: return perFlusso(visita);
    case Lettura::Cursore: return perCursore(visita);
    case Lettura::APezzi: return aPezzi(visita);
    }
    return true;
}

bool PraticheScelte::perFlusso(const std::function<bool(const PraticaLetta&)>& visita)
{
    QSqlQuery rows = db_.query(query(false), selezione_.binds);
    // The rows come while the visitor works: a stop reaches the statement.
    const db::Canceller::Running running(db_.canceller(), &rows);
    PraticaLetta p;
    while (rows.next()) {
        if (!leggi(rows, p, conNote_)) continue;
        if (!visita(p)) return false;
    }
    if (rows.lastError().isValid())
        throw db_.failure("Errore nella lettura delle pratiche", rows.lastError(), &rows);
    return true;
}

bool PraticheScelte::perCursore(const std::function<bool(const PraticaLetta&)>& visita)
{
    // A cursor lives inside a transaction: a reader without one (the
    // export) gets one of its own, which changes nothing.
    const bool own = !db_.inTransaction();
    if (own) db_.begin();
    try {
        db_.execute(QStringLiteral("DECLARE ") + kCursore + QStringLiteral(" NO SCROLL CURSOR FOR ") + query(false),
                    selezione_.binds);
        std::vector<PraticaLetta> batch;
        for (bool more = true; more;) {
            batch.clear();
            {
                QSqlQuery rows =
                    db_.query(QStringLiteral("FETCH FORWARD %1 FROM ").arg(kFetch) + kCursore);
                int read = 0;
                PraticaLetta p;
                while (db_.next(rows)) {
                    ++read;
                    if (leggi(rows, p, conNote_)) batch.push_back(p);
                }
                more = read == kFetch;
            }
            for (const PraticaLetta& p : batch)
                if (!visita(p)) {
                    if (own) db_.rollback();
                    return false;
                }
        }
        db_.execute(QStringLiteral("CLOSE ") + kCursore);
        if (own) db_.commit();
        return true;
    } catch (...) {
        if (own) db_.rollback();
        throw;
    }
}

bool PraticheScelte::aPezzi(const std::function<bool(const PraticaLetta&)>& visita)
{
    const QString sql = query(true);
    std::vector<PraticaLetta> chunk;
    for (std::size_t start = 0; start < contatori_.size(); start += kChunk) {
        const std::size_t count = std::min(kChunk, contatori_.size() - start);
        QVariantList keys;
        keys.reserve(static_cast<qsizetype>(count));
        for (std::size_t i = start; i < start + count; ++i) keys << contatori_[i];

        // The whole chunk is read before anything else runs on the connection.
        chunk.clear();
        {
            QSqlQuery rows = db_.query(sql.arg(marks(keys.size())), keys);
            PraticaLetta p;
            while (db_.next(rows))
                if (leggi(rows, p, false)) chunk.push_back(p);
        }
        if (conNote_) {
            QHash<qint64, QVariant> note;
            leggiNote(keys, note);
            for (PraticaLetta& p : chunk) {
                const auto found = note.constFind(p.contatore);
                if (found == note.cend()) continue;
                p.haNota = true;
                p.nota = found.value();
            }
        }
        for (const PraticaLetta& p : chunk)
            if (!visita(p)) return false;
    }
    return true;
}

}  // namespace crv::tools
