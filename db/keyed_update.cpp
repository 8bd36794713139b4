#include "db/keyed_update.h"

#include <stdexcept>

#include <QSqlQuery>

#include "db/database.h"
#include "db/field_length.h"
#include "db/pg_link.h"
#include "db/pg_row_writer.h"
#include "db/row_writer.h"

namespace crv::db {

namespace {

const QString kTemp = QStringLiteral("crvxml_valori");
const QString kSavepoint = QStringLiteral("crvxml_valori");

// Rows, and bytes of values, in one INSERT into the temporary table through
// ODBC: few statements for many rows, none of them huge.
constexpr std::size_t kRowsPerInsert = 1000;
constexpr qsizetype kBytesPerInsert = 4 << 20;

}  // namespace

KeyedUpdate::KeyedUpdate(Database& db, const QString& table, const QString& keyColumn, const QString& column)
    : db_(db),
      table_(db.table(table)),
      key_(*table_.find(table_.realColumn(keyColumn))),
      column_(*table_.find(table_.realColumn(column)))
{
}

void KeyedUpdate::add(qint64 key, const QVariant& value)
{
    try {
        checkTextLength(table_, column_, value);
    } catch (const DbError& e) {
        throw RowRefused(key, key, e);
    }
    keys_.push_back(key);
    values_.field(QByteArray::number(key));
    values_.field(pgText(value));
    values_.endRow();
}

void KeyedUpdate::apply()
{
    if (keys_.empty()) return;
    if (!db_.inTransaction()) throw std::logic_error("KeyedUpdate::apply fuori da una transazione");
    if (db_.backend() == Backend::PostgreSQL)
        applyJoined();
    else
        applyByRow();
}

void KeyedUpdate::applyByRow()
{
    std::size_t i = 0;
    values_.forEachRow([&](const std::vector<std::optional<QByteArray>>& fields) {
        const qint64 key = keys_[i++];
        const QVariant value = fields[1] ? QVariant(QString::fromUtf8(*fields[1])) : QVariant(QMetaType(QMetaType::QString));
        try {
            db_.update(table_.realName(), {{column_.name, value}}, key_.name, key);
        } catch (const DbError& e) {
            throw RowRefused(key, key, e);
        }
    });
}

void KeyedUpdate::applyJoined()
{
    // Gone with the transaction, whichever way it ends.
    db_.execute(QStringLiteral("CREATE TEMPORARY TABLE ") + kTemp +
                QStringLiteral(" (chiave bigint PRIMARY KEY, valore text) ON COMMIT DROP"));
    const std::string where = "Errore nell'aggiornamento della tabella " + table_.realName().toStdString();
    if (pg_conn* conn = pgConnection(db_)) {
        try {
            pgCopyIn(db_, conn, QStringLiteral("COPY ") + kTemp + QStringLiteral(" (chiave, valore) FROM STDIN"), kTemp,
                     values_);
        } catch (const CopyRefused& e) {
            const qint64 key = e.row() > 0 && static_cast<std::size_t>(e.row()) <= keys_.size()
                                   ? keys_[static_cast<std::size_t>(e.row() - 1)]
                                   : keys_.front();
            throw RowRefused(key, key, e, e.sqlState());
        }
    } else {
        fillByInserts(kTemp);
    }

    db_.executeDirect(QStringLiteral("SAVEPOINT ") + kSavepoint);
    std::int64_t changed = 0;
    try {
        QSqlQuery update = db_.query(joinedUpdate(kTemp, 0, keys_.size()));
        changed = update.numRowsAffected();
    } catch (const DbError& e) {
        if (e.failure() != DbFailure::Other) throw;  // a stop, a lost server: nothing to look for
        findRefused(kTemp, e);
    }
    db_.executeDirect(QStringLiteral("RELEASE SAVEPOINT ") + kSavepoint);
    if (changed >= 0 && static_cast<std::size_t>(changed) < keys_.size())
        throw DbError(where, keys_.size() - static_cast<std::size_t>(changed) == 1
                                 ? std::string("una riga non trovata")
                                 : std::to_string(keys_.size() - static_cast<std::size_t>(changed)) +
                                       " righe non trovate");
}

void KeyedUpdate::fillByInserts(const QString& temp)
{
    QVariantList binds;
    qsizetype bytes = 0;
    std::size_t rows = 0;
    const auto send = [&] {
        if (rows == 0) return;
        QString sql = QStringLiteral("INSERT INTO ") + temp + QStringLiteral(" (chiave, valore) VALUES ");
        for (std::size_t r = 0; r < rows; ++r) sql += r == 0 ? QStringLiteral("(?,?)") : QStringLiteral(",(?,?)");
        db_.execute(sql, binds);
        binds.clear();
        bytes = 0;
        rows = 0;
    };
    std::size_t i = 0;
    values_.forEachRow([&](const std::vector<std::optional<QByteArray>>& fields) {
        binds << keys_[i++];
        if (fields[1]) {
            binds << QString::fromUtf8(*fields[1]);
            bytes += fields[1]->size();
        } else {
            binds << QVariant(QMetaType(QMetaType::QString));
        }
        if (++rows == kRowsPerInsert || bytes >= kBytesPerInsert) send();
    });
    send();
}

QString KeyedUpdate::joinedUpdate(const QString& temp, std::size_t from, std::size_t to) const
{
    const QString table = db_.quote(table_.realName());
    QString sql = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + db_.quote(column_.name) +
                  QStringLiteral(" = v.valore FROM ") + temp + QStringLiteral(" AS v WHERE ") + table +
                  QLatin1Char('.') + db_.quote(key_.name) + QStringLiteral(" = v.chiave");
    if (from > 0 || to < keys_.size())
        sql += QStringLiteral(" AND v.chiave BETWEEN %1 AND %2").arg(keys_[from]).arg(keys_[to - 1]);
    return sql;
}

void KeyedUpdate::findRefused(const QString& temp, const DbError& whole)
{
    // The database said no to the statement, not to a row: halving the rows
    // (each try undone) finds the first one it refuses, in a few statements.
    const auto tryRows = [&](std::size_t from, std::size_t to) -> std::optional<DbError> {
        db_.executeDirect(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kSavepoint);
        try {
            db_.execute(joinedUpdate(temp, from, to));
            return std::nullopt;
        } catch (const DbError& e) {
            if (e.failure() != DbFailure::Other) throw;
            return e;
        }
    };
    std::size_t from = 0;
    std::size_t to = keys_.size();
    while (to - from > 1) {
        const std::size_t middle = from + (to - from) / 2;
        if (tryRows(from, middle))
            to = middle;
        else
            from = middle;
    }
    const std::optional<DbError> alone = tryRows(from, from + 1);
    db_.executeDirect(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kSavepoint);
    const qint64 key = keys_[from];
    if (alone) throw RowRefused(key, key, *alone);
    // No row alone is refused: the whole statement's reason stands.
    throw RowRefused(keys_.front(), keys_.back(), whole);
}

}  // namespace crv::db
