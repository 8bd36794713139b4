#include "tools/chosen_cases.h"

#include <algorithm>

#include <QHash>
#include <QSet>
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

void PraticheScelte::leggiNote(const QVariantList& posizioni, QHash<QString, QVariant>& note)
{
    const db::TableInfo& table = db_.table(kNote);
    const QString posizione = db_.quote(table.realColumn(QStringLiteral("posizione")));
    // "The first row" of a case's notes is the first one entered: by the
    // table's counter when it has one, else by the row's place in the table,
    // whichever driver (Qt's own or ODBC) reaches the database.
    QString order;
    if (const db::Column* counter = table.find("contatore"))
        order = db_.quote(counter->name);
    else if (db_.backend() == db::Backend::SQLite)
        order = QStringLiteral("rowid");
    else if (db_.backend() == db::Backend::PostgreSQL)
        order = QStringLiteral("ctid");
    QString sql = QStringLiteral("SELECT ") + posizione + QLatin1Char(',') +
                  db_.quote(table.realColumn(QStringLiteral("note comuni"))) + QStringLiteral(" FROM ") +
                  db_.quote(table.realName()) + QStringLiteral(" WHERE ") + posizione +
                  QStringLiteral(" IN (") + marks(posizioni.size()) + QLatin1Char(')');
    if (!order.isEmpty()) sql += QStringLiteral(" ORDER BY ") + order;
    QSqlQuery rows = db_.query(sql, posizioni);
    while (rows.next()) {
        const QString key = rows.value(0).toString();
        if (!note.contains(key)) note.insert(key, rows.value(1));
    }
}

bool PraticheScelte::perOgni(const std::function<bool(const PraticaLetta&)>& visita)
{
    const db::TableInfo& table = db_.table(kPratiche);
    const QString key = db_.quote(table.realColumn(QStringLiteral("contatore")));
    QString select = QStringLiteral("SELECT ") + key;
    if (conNote_) select += QLatin1Char(',') + db_.quote(table.realColumn(QStringLiteral("posizione")));
    for (const QString& column : colonne_) select += QLatin1Char(',') + db_.quote(column);
    select += QStringLiteral(" FROM ") + db_.quote(table.realName()) + QStringLiteral(" WHERE ") + key +
              QStringLiteral(" IN (");
    const int first = conNote_ ? 2 : 1;

    std::vector<PraticaLetta> chunk;
    for (std::size_t start = 0; start < contatori_.size(); start += kChunk) {
        const std::size_t count = std::min(kChunk, contatori_.size() - start);
        QVariantList keys;
        keys.reserve(static_cast<qsizetype>(count));
        for (std::size_t i = start; i < start + count; ++i) keys << contatori_[i];

        // The whole chunk is read before anything else runs on the connection.
        chunk.clear();
        QVariantList posizioni;
        QSet<QString> seen;
        std::vector<QVariant> posizioneOf;
        {
            QSqlQuery rows = db_.query(select + marks(keys.size()) + QStringLiteral(") ORDER BY ") + key, keys);
            while (rows.next()) {
                PraticaLetta& p = chunk.emplace_back();
                p.contatore = rows.value(0).toLongLong();
                for (int i = 0; i < colonne_.size(); ++i) p.valori << rows.value(first + i);
                if (conNote_) {
                    const QVariant pos = rows.value(1);
                    posizioneOf.push_back(pos);
                    if (!pos.isNull() && !seen.contains(pos.toString())) {
                        seen.insert(pos.toString());
                        posizioni << pos.toString();
                    }
                }
            }
        }
        if (conNote_ && !posizioni.isEmpty()) {
            QHash<QString, QVariant> note;
            leggiNote(posizioni, note);
            for (std::size_t i = 0; i < chunk.size(); ++i) {
                if (posizioneOf[i].isNull()) continue;
                const auto found = note.constFind(posizioneOf[i].toString());
                if (found == note.cend()) continue;
                chunk[i].haNota = true;
                chunk[i].nota = found.value();
            }
        }
        for (const PraticaLetta& p : chunk)
            if (!visita(p)) return false;
    }
    return true;
}

}  // namespace crv::tools
