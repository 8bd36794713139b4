#include "db/sqlite_row_writer.h"

#include <map>

#include <QDate>
#include <QDateTime>
#include <QSqlError>

#include <sqlite3.h>

#include "db/database.h"

namespace crv::db {
namespace {

class SqliteRowWriter final : public RowWriter {
public:
    SqliteRowWriter(Database& db, sqlite3* handle) : RowWriter(db), db3_(handle) {}
    ~SqliteRowWriter() override
    {
        for (auto& [shape, statement] : statements_) sqlite3_finalize(statement);
    }

    void settleRows() override { writeWaiting(); }

private:
    void insertRow(Ref ref, Row row, bool wantKey) override
    {
        const std::optional<std::int64_t> key = step(row, wantKey);
        if (wantKey) keys_[ref] = key;
        writeWaiting();
    }

    void queued() override { writeWaiting(); }

    void writeWaiting()
    {
        while (frontReady()) {
            fillKey(waiting_.front());
            step(waiting_.front().row, false);
            waiting_.pop_front();
        }
    }

    // The prepared INSERT for the row's table and columns (shapeOf).
    sqlite3_stmt* statementFor(const Row& row, bool wantKey)
    {
        std::vector<const void*> shape = shapeOf(row, wantKey);
        const auto found = statements_.find(shape);
        if (found != statements_.end()) return found->second;

        QString sql = QStringLiteral("INSERT INTO ") + db_.quote(row.table->realName());
        if (row.values.empty()) {
            sql += QStringLiteral(" DEFAULT VALUES");
        } else {
            QString marks;
            sql += QStringLiteral(" (");
            for (std::size_t i = 0; i < row.values.size(); ++i) {
                if (i > 0) {
                    sql += QLatin1Char(',');
                    marks += QLatin1Char(',');
                }
                sql += db_.quote(row.values[i].first);
                marks += QLatin1Char('?');
            }
            sql += QStringLiteral(") VALUES (") + marks + QLatin1Char(')');
        }
        if (wantKey) sql += QStringLiteral(" RETURNING ") + db_.quote(row.table->realColumn(QStringLiteral("contatore")));
        sqlite3_stmt* statement = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db3_, text.constData(), static_cast<int>(text.size()), &statement, nullptr) != SQLITE_OK) {
            const std::string reason = errorText(sqlite3_errcode(db3_));
            sqlite3_finalize(statement);
            throw RowRefused(row.owner, row.owner, DbError("Istruzione non accettata dal database", reason));
        }
        return statements_.emplace(std::move(shape), statement).first->second;
    }

    // Binds as Qt's driver does: whole numbers as integers, texts as texts,
    // dates and times as their ISO text, NULL for a null value.
    void bind(sqlite3_stmt* statement, int index, const QVariant& value, std::vector<QByteArray>& keep)
    {
        auto text = [&](QByteArray bytes) {
            keep.push_back(std::move(bytes));
            return sqlite3_bind_text(statement, index, keep.back().constData(), static_cast<int>(keep.back().size()),
                                     SQLITE_STATIC);
        };
        int rc = SQLITE_OK;
        const int type = value.metaType().id();
        if (!value.isValid() || value.isNull() ||
            (type == QMetaType::QString && static_cast<const QString*>(value.constData())->isNull()) ||
            (type == QMetaType::QDate && !static_cast<const QDate*>(value.constData())->isValid()) ||
            (type == QMetaType::QDateTime && !static_cast<const QDateTime*>(value.constData())->isValid())) {
            rc = sqlite3_bind_null(statement, index);
        } else {
            switch (type) {
            case QMetaType::QString: rc = text(static_cast<const QString*>(value.constData())->toUtf8()); break;
            case QMetaType::Int:
            case QMetaType::Bool: rc = sqlite3_bind_int(statement, index, value.toInt()); break;
            case QMetaType::UInt:
            case QMetaType::LongLong: rc = sqlite3_bind_int64(statement, index, value.toLongLong()); break;
            case QMetaType::Double: rc = sqlite3_bind_double(statement, index, value.toDouble()); break;
            case QMetaType::QByteArray: {
                keep.push_back(value.toByteArray());
                rc = sqlite3_bind_blob(statement, index, keep.back().constData(), static_cast<int>(keep.back().size()),
                                       SQLITE_STATIC);
                break;
            }
            case QMetaType::QDateTime: rc = text(value.toDateTime().toString(Qt::ISODateWithMs).toUtf8()); break;
            case QMetaType::QDate: rc = text(isoDate(*static_cast<const QDate*>(value.constData()))); break;
            default: rc = text(value.toString().toUtf8()); break;
            }
        }
        if (rc != SQLITE_OK) throw DbError("Valore non accettato dal database", errorText(rc));
    }

    // Adds the row; its key when asked for.
    std::optional<std::int64_t> step(const Row& row, bool wantKey)
    {
        sqlite3_stmt* statement = statementFor(row, wantKey);
        std::vector<QByteArray> keep;
        keep.reserve(row.values.size());
        std::optional<std::int64_t> key;
        int rc = SQLITE_OK;
        try {
            for (std::size_t i = 0; i < row.values.size(); ++i)
                bind(statement, static_cast<int>(i + 1), row.values[i].second, keep);
            rc = sqlite3_step(statement);
            if (rc == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL) {
                key = sqlite3_column_int64(statement, 0);
                rc = sqlite3_step(statement);
            }
        } catch (const DbError& e) {
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
            throw RowRefused(row.owner, row.owner, e);
        }
        const std::string where = "Errore nell'aggiunta di una riga a " + row.table->realName().toStdString();
        // Read before the reset, which leaves the connection's error as it finds it.
        std::optional<DbError> refusal;
        if (rc != SQLITE_DONE) refusal.emplace(error(where, rc));
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (refusal) throw RowRefused(row.owner, row.owner, *refusal);
        if (wantKey && !key)
            throw RowRefused(row.owner, row.owner,
                             DbError(where, "il database non ha restituito il contatore della nuova riga"));
        return key;
    }

    // SQLite's message as Qt's driver would report it, read in Italian
    // where the operator can mend the cause (an archive he may not write).
    std::string errorText(int code) const { return error({}, code).driverText(); }

    // The same as a DbError of the connection: a file held by another
    // session past the busy wait is named as such.
    DbError error(const std::string& context, int code) const
    {
        return db_.failure(context, QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db3_)),
                                              QSqlError::StatementError, QString::number(code)));
    }

    sqlite3* db3_;
    std::map<std::vector<const void*>, sqlite3_stmt*> statements_;
};

}  // namespace

std::unique_ptr<RowWriter> makeSqliteRowWriter(Database& db)
{
    if (db.dialect() != Dialect::SQLite) return nullptr;
    const QVariant handle = db.driverHandle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
    sqlite3* const connection = *static_cast<sqlite3* const*>(handle.constData());
    if (connection == nullptr) return nullptr;
    return std::make_unique<SqliteRowWriter>(db, connection);
}

}  // namespace crv::db
