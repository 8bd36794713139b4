#include "tools/chosen_cases.h"

#include <algorithm>

#include <QHash>
#include <QSqlQuery>

#include "db/database.h"

namespace crv::tools {

namespace {

constexpr std::size_t kChunk = 500;

const QString kPratiche = QStringLiteral("Tabella Pratiche");
const QString kNote = QStringLiteral("notecomuni");

QString marks(qsizetype count)
{
    QString text;
    text.reserve(count * 2);
    for (qsizetype i = 0; i < count; ++i) text += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return text;
}

}  // namespace

PraticheScelte::PraticheScelte(db::Database& db, const Selezione& selezione, QStringList colonne,
                               bool conNote)
    : db_(db), colonne_(std::move(colonne)), conNote_(conNote)
{
    const db::TableInfo& table = db_.table(kPratiche);
    const QString key = db_.quote(table.realColumn(QStringLiteral("contatore")));
    QSqlQuery rows = db_.query(QStringLiteral("SELECT ") + key + QStringLiteral(" FROM ") +
                                   db_.quote(table.realName()) + selezione.where +
                                   QStringLiteral(" ORDER BY ") + key,
                               selezione.binds);
    while (rows.next()) contatori_.push_back(rows.value(0).toLongLong());
    if (conNote_) db_.table(kNote);  // a missing notes table is reported before any work
}

void PraticheScelte::leggiNote(const QVariantList& keys, QHash<qint64, QVariant>& note)
{
    const db::TableInfo& cases = db_.table(kPratiche);
    const db::TableInfo& notes = db_.table(kNote);
    const QString key = QStringLiteral("p.") + db_.quote(cases.realColumn(QStringLiteral("contatore")));
    // "The first row" of a case's notes is the first one entered: by the
    // table's counter when it has one, else by the row's place in the table,
    // whichever driver (Qt's own or ODBC) reaches the database.
    QString order;
    if (const db::Column* counter = notes.find("contatore"))
        order = QStringLiteral("n.") + db_.quote(counter->name);
    else if (db_.backend() == db::Backend::SQLite)
        order = QStringLiteral("n.rowid");
    else if (db_.backend() == db::Backend::PostgreSQL)
        order = QStringLiteral("n.ctid");
    // The database pairs notes and cases, as it does for a case's own query:
    // a column that compares without regard to case or to trailing blanks
    // finds the note. The notes' column comes first, so that SQLite compares
    // by its collation, as it does against a typed value.
    const QString sql = QStringLiteral("SELECT ") + key + QStringLiteral(", n.") +
                        db_.quote(notes.realColumn(QStringLiteral("note comuni"))) + QStringLiteral(" FROM ") +
                        db_.quote(cases.realName()) + QStringLiteral(" AS p INNER JOIN ") +
                        db_.quote(notes.realName()) + QStringLiteral(" AS n ON n.") +
                        db_.quote(notes.realColumn(QStringLiteral("posizione"))) + QStringLiteral(" = p.") +
                        db_.quote(cases.realColumn(QStringLiteral("posizione"))) + QStringLiteral(" WHERE ") + key +
                        QStringLiteral(" IN (") + marks(keys.size()) + QStringLiteral(") ORDER BY ") + key +
                        (order.isEmpty() ? QString() : QStringLiteral(", ") + order);
    QSqlQuery rows = db_.query(sql, keys);
    while (rows.next()) {
        const qint64 contatore = rows.value(0).toLongLong();
        if (!note.contains(contatore)) note.insert(contatore, rows.value(1));
    }
}

bool PraticheScelte::perOgni(const std::function<bool(const PraticaLetta&)>& visita)
{
    const db::TableInfo& table = db_.table(kPratiche);
    const QString key = db_.quote(table.realColumn(QStringLiteral("contatore")));
    QString select = QStringLiteral("SELECT ") + key;
    for (const QString& column : colonne_) select += QLatin1Char(',') + db_.quote(column);
    select += QStringLiteral(" FROM ") + db_.quote(table.realName()) + QStringLiteral(" WHERE ") + key +
              QStringLiteral(" IN (");

    std::vector<PraticaLetta> chunk;
    for (std::size_t start = 0; start < contatori_.size(); start += kChunk) {
        const std::size_t count = std::min(kChunk, contatori_.size() - start);
        QVariantList keys;
        keys.reserve(static_cast<qsizetype>(count));
        for (std::size_t i = start; i < start + count; ++i) keys << contatori_[i];

        // The whole chunk is read before anything else runs on the connection.
        chunk.clear();
        {
            QSqlQuery rows = db_.query(select + marks(keys.size()) + QStringLiteral(") ORDER BY ") + key, keys);
            while (rows.next()) {
                PraticaLetta& p = chunk.emplace_back();
                p.contatore = rows.value(0).toLongLong();
                for (int i = 0; i < colonne_.size(); ++i) p.valori << rows.value(1 + i);
            }
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
