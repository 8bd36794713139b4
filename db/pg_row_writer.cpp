#include "db/pg_row_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>

#include <poll.h>

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>

#include <libpq-fe.h>

#include "db/copy_spool.h"
#include "db/database.h"
#include "db/pg_link.h"
#include "db/statement_cancel.h"

namespace crv::db {

std::optional<QByteArray> pgText(const QVariant& value)
{
    if (!value.isValid() || value.isNull()) return std::nullopt;
    switch (value.metaType().id()) {
    case QMetaType::QString: {
        const auto* text = static_cast<const QString*>(value.constData());
        if (text->isNull()) return std::nullopt;
        return text->toUtf8();
    }
    case QMetaType::QDate: {
        const auto* date = static_cast<const QDate*>(value.constData());
        if (!date->isValid()) return std::nullopt;
        return isoDate(*date);
    }
    case QMetaType::QDateTime: {
        const QDateTime stamp = value.toDateTime();
        if (!stamp.isValid()) return std::nullopt;
        return stamp.toString(Qt::ISODateWithMs).toLatin1();
    }
    case QMetaType::Bool: return QByteArray(value.toBool() ? "true" : "false");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong: return QByteArray::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong: return QByteArray::number(value.toULongLong());
    case QMetaType::Double: return QByteArray::number(value.toDouble(), 'g', 17);
    default: return value.toString().toUtf8();
    }
}

void appendCopyField(QByteArray& line, const std::optional<QByteArray>& text)
{
    if (!text) {
        line += "\\N";
        return;
    }
    const char* from = text->constData();
    const char* const end = from + text->size();
    for (const char* p = from; p != end; ++p) {
        const char c = *p;
        const char* escape = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        if (escape == nullptr) continue;
        line.append(from, p - from);
        line += escape;
        from = p + 1;
    }
    line.append(from, end - from);
}

namespace {

// Keyed rows sent between two requests for the server's answers (which
// carry their keys back): the rows waiting for those keys wait no longer.
constexpr int kFlushEvery = 200;

class PgRowWriter final : public RowWriter {
public:
    PgRowWriter(Database& db, PGconn* conn) : RowWriter(db), conn_(conn) {}
    ~PgRowWriter() override { discard(); }

    // The one wait of a run: the answers up to a sync point, then each
    // table's gathered rows in one COPY.
    void settleRows() override
    {
        endPipeline();
        takeReady();
        endPipeline();  // what went as INSERTs to a table that takes no COPY
        copySpooled();
    }

    void discard() override
    {
        RowWriter::discard();
        refused_.reset();
        spools_.clear();
        if (!pipeline_) return;
        pipeline_ = false;
        sent_.clear();
        // Bring the connection back to rest for the rollback (a lost one
        // answers at once, and the rollback reports it).
        PQsetnonblocking(conn_, 0);
        const Canceller::Running running(db_.canceller(), nullptr);
        if (PQstatus(conn_) == CONNECTION_OK) PQpipelineSync(conn_);
        int emptyInARow = 0;  // one empty answer ends each statement's answers
        while (emptyInARow < 2) {
            PGresult* result = PQgetResult(conn_);
            if (result == nullptr) {
                ++emptyInARow;
                continue;
            }
            emptyInARow = 0;
            const bool sync = PQresultStatus(result) == PGRES_PIPELINE_SYNC;
            PQclear(result);
            if (sync) break;
        }
        PQexitPipelineMode(conn_);
    }

private:
    enum class Kind { Prepare, Insert, Sync };
    struct Sent {
        Kind kind;
        Ref ref = 0;
        bool wantKey = false;
        std::int64_t owner = 0;
        const TableInfo* table = nullptr;
    };
    // The referring rows of one table and column set, gathered for one COPY,
    // with the owner of each run of rows (the row from which it holds).
    struct Spool {
        const TableInfo* table = nullptr;
        QString sql;
        CopySpool rows;
        std::vector<std::pair<std::size_t, std::int64_t>> owners;
    };

    void insertRow(Ref ref, Row row, bool wantKey) override
    {
        send(ref, row, wantKey);
        // A refusal is reported as soon as it is known, with its own row.
        if (refused_) endPipeline();
        if (++sinceFlush_ >= kFlushEvery) {
            // The server holds its answers until asked: the keys (or a
            // refusal) come back now, without waiting for them.
            sinceFlush_ = 0;
            if (PQsendFlushRequest(conn_) != 1) lost();
            pump(false);
        }
        takeReady();
    }

    void send(Ref ref, const Row& row, bool wantKey)
    {
        if (!pipeline_) enterPipeline();
        const std::string& name = statementFor(row, wantKey);
        std::vector<std::optional<QByteArray>> texts;
        texts.reserve(row.values.size());
        std::vector<const char*> params;
        params.reserve(row.values.size());
        for (const auto& [column, value] : row.values) {
            texts.push_back(pgText(value));
            params.push_back(texts.back() ? texts.back()->constData() : nullptr);
        }
        if (PQsendQueryPrepared(conn_, name.c_str(), static_cast<int>(params.size()), params.data(), nullptr,
                                nullptr, 0) != 1)
            lost();
        sent_.push_back({Kind::Insert, ref, wantKey, row.owner, row.table});
        pump(false);
    }

    void queued() override
    {
        // Whether the table takes COPY is asked once per table, between two
        // pipelines (the question is a statement of its own).
        const TableInfo* table = waiting_.back().row.table;
        if (copyable_.find(table) == copyable_.end()) {
            endPipeline();
            copyable(*table);
        }
        takeReady();
    }

    // The referring rows at the front whose keys are back: gathered for the
    // COPY, or sent as INSERTs to a table that takes no COPY.
    void takeReady()
    {
        while (frontReady()) {
            Waiting& w = waiting_.front();
            fillKey(w);
            if (copyable(*w.row.table))
                spool(w.row);
            else
                send(0, w.row, false);
            waiting_.pop_front();
        }
    }

    void spool(const Row& row)
    {
        std::vector<const void*> shape = shapeOf(row, false);
        auto found = spools_.find(shape);
        if (found == spools_.end()) {
            found = spools_.try_emplace(std::move(shape)).first;
            Spool& fresh = found->second;
            fresh.table = row.table;
            fresh.sql = QStringLiteral("COPY ") + db_.quote(row.table->realName()) + QStringLiteral(" (");
            for (std::size_t c = 0; c < row.values.size(); ++c)
                fresh.sql += (c > 0 ? QStringLiteral(",") : QString()) + db_.quote(row.values[c].first);
            fresh.sql += QStringLiteral(") FROM STDIN");
        }
        Spool& s = found->second;
        if (s.owners.empty() || s.owners.back().second != row.owner) s.owners.emplace_back(s.rows.rows(), row.owner);
        for (const auto& [column, value] : row.values) s.rows.field(pgText(value));
        s.rows.endRow();
    }

    // Each spool in one COPY; a refused row names its owner.
    void copySpooled()
    {
        for (auto& [shape, s] : spools_) {
            if (s.rows.empty()) continue;
            try {
                pgCopyIn(db_, conn_, s.sql, s.table->realName(), s.rows);
            } catch (const CopyRefused& e) {
                const std::int64_t first = s.owners.front().second;
                const std::int64_t last = s.owners.back().second;
                if (e.row() <= 0 || static_cast<std::size_t>(e.row()) > s.rows.rows())
                    throw RowRefused(first, last, e, e.sqlState());
                const auto row = static_cast<std::size_t>(e.row() - 1);
                const auto run = std::upper_bound(s.owners.begin(), s.owners.end(), row,
                                                  [](std::size_t r, const auto& o) { return r < o.first; });
                const std::int64_t owner = std::prev(run)->second;
                throw RowRefused(owner, owner, e, e.sqlState());
            }
            s.rows.clear();
            s.owners.clear();
        }
    }

    void enterPipeline()
    {
        // What Qt's driver left unread of a query it finished (the closing
        // answer of a row-by-row result) is dropped, as libpq's own PQexec
        // does before each statement: pipeline mode needs an idle connection.
        if (PQisBusy(conn_) == 0 && PQtransactionStatus(conn_) == PQTRANS_ACTIVE)
            while (PGresult* leftover = PQgetResult(conn_)) PQclear(leftover);
        if (PQenterPipelineMode(conn_) != 1)
            throw DbError("Impossibile inviare le righe al database", trimmedMessage());
        // Sending never waits for the server: a full socket is emptied of
        // answers before more is sent, so neither side waits for the other.
        PQsetnonblocking(conn_, 1);
        pipeline_ = true;
        sinceFlush_ = 0;
    }

    // The prepared INSERT for the row's table and columns (shapeOf),
    // prepared in the pipeline the first time.
    const std::string& statementFor(const Row& row, bool wantKey)
    {
        std::vector<const void*> shape = shapeOf(row, wantKey);
        const auto found = statements_.find(shape);
        if (found != statements_.end()) return found->second;

        QString sql = QStringLiteral("INSERT INTO ") + db_.quote(row.table->realName()) + QStringLiteral(" (");
        QString marks;
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            if (i > 0) {
                sql += QLatin1Char(',');
                marks += QLatin1Char(',');
            }
            sql += db_.quote(row.values[i].first);
            marks += QLatin1Char('$') + QString::number(i + 1);
        }
        sql += QStringLiteral(") VALUES (") + marks + QLatin1Char(')');
        if (wantKey) sql += QStringLiteral(" RETURNING ") + db_.quote(row.table->realColumn(QStringLiteral("contatore")));
        const std::string name = "crvxml_riga_" + std::to_string(statements_.size() + 1);
        if (PQsendPrepare(conn_, name.c_str(), sql.toUtf8().constData(), static_cast<int>(row.values.size()), nullptr) != 1)
            lost();
        sent_.push_back({Kind::Prepare, 0, false, row.owner, row.table});
        return statements_.emplace(std::move(shape), name).first->second;
    }

    // Hands the server what libpq holds and takes the answers that came
    // back; with `untilAnswered`, waits for every answer.
    void pump(bool untilAnswered)
    {
        for (;;) {
            const int unsent = PQflush(conn_);
            if (unsent < 0 || PQconsumeInput(conn_) != 1) lost();
            while (!sent_.empty() && PQisBusy(conn_) == 0 && takeResult()) {
            }
            if (untilAnswered ? sent_.empty() : unsent == 0) return;
            waitSocket(unsent != 0 ? POLLIN | POLLOUT : POLLIN);
        }
    }

    // One answer of the statement at the front; false when none is ready.
    bool takeResult()
    {
        PGresult* result = PQgetResult(conn_);
        Sent& front = sent_.front();
        if (result == nullptr) {
            if (front.kind == Kind::Sync) return false;
            sent_.pop_front();  // that statement's answers are over
            return true;
        }
        const ExecStatusType status = PQresultStatus(result);
        if (front.kind == Kind::Sync) {
            if (status == PGRES_PIPELINE_SYNC) sent_.pop_front();
        } else if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) {
            refuse(front, pgFailure(db_, rowContext(front), result), pgSqlState(result));
        } else if (status == PGRES_PIPELINE_ABORTED) {
            refuse(front, DbError(rowContext(front), "istruzione annullata da un errore precedente"));
        } else if (front.kind == Kind::Insert && front.wantKey) {
            if (status == PGRES_TUPLES_OK && PQntuples(result) == 1 && PQgetisnull(result, 0, 0) == 0)
                keys_[front.ref] = std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10);
            else
                refuse(front, DbError(rowContext(front), "il database non ha restituito il contatore della nuova riga"));
        }
        PQclear(result);
        return true;
    }

    static std::string rowContext(const Sent& statement)
    {
        return "Errore nell'aggiunta di una riga a " + statement.table->realName().toStdString();
    }

    void refuse(const Sent& statement, const DbError& cause, const std::string& code = {})
    {
        if (refused_) return;  // the first refusal is the cause of the others
        refused_.emplace(statement.owner, statement.owner, cause, code);
    }

    void waitSocket(short events)
    {
        // The operator's stop reaches the statement the server is running.
        const Canceller::Running running(db_.canceller(), nullptr);
        pollfd socket{PQsocket(conn_), events, 0};
        while (::poll(&socket, 1, -1) < 0) {
            if (errno != EINTR) lost();
        }
    }

    // A sync point, every answer up to it, and out of pipeline mode.
    void endPipeline()
    {
        if (!pipeline_) return;
        if (PQpipelineSync(conn_) != 1) lost();
        sent_.push_back({Kind::Sync});
        pump(true);
        if (PQexitPipelineMode(conn_) != 1)
            throw DbError("Impossibile concludere l'invio delle righe", trimmedMessage());
        PQsetnonblocking(conn_, 0);
        pipeline_ = false;
        if (refused_) {
            const RowRefused refused = *refused_;
            refused_.reset();
            throw refused;
        }
    }

    std::string trimmedMessage() const { return pgTrimmed(PQerrorMessage(conn_)); }

    [[noreturn]] void lost() { pgLost(db_, conn_, "Connessione al database interrotta durante la scrittura"); }

    // COPY takes rows as they are: a table whose INSERT a rule changes, or
    // which hides rows by policy, or a view, gets them as INSERTs instead.
    bool copyable(const TableInfo& table)
    {
        const auto known = copyable_.find(&table);
        if (known != copyable_.end()) return known->second;
        const QByteArray name = db_.quote(table.realName()).toUtf8();
        const char* params[] = {name.constData()};
        const Canceller::Running running(db_.canceller(), nullptr);
        PGresult* result = PQexecParams(
            conn_,
            "SELECT c.relkind IN ('r','p') AND NOT c.relrowsecurity AND NOT EXISTS "
            "(SELECT 1 FROM pg_catalog.pg_rewrite r WHERE r.ev_class = c.oid AND r.ev_type = '3') "
            "FROM pg_catalog.pg_class c WHERE c.oid = $1::regclass",
            1, nullptr, params, nullptr, nullptr, 0);
        const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1 &&
                        std::strcmp(PQgetvalue(result, 0, 0), "t") == 0;
        std::optional<DbError> error;
        if (PQresultStatus(result) != PGRES_TUPLES_OK)
            error.emplace(pgFailure(db_, "Impossibile leggere la tabella " + table.realName().toStdString(), result));
        PQclear(result);
        if (error) throw *error;
        return copyable_.emplace(&table, ok).first->second;
    }

    PGconn* conn_;
    bool pipeline_ = false;
    int sinceFlush_ = 0;
    std::deque<Sent> sent_;
    std::optional<RowRefused> refused_;
    std::map<std::vector<const void*>, std::string> statements_;  // prepared names by shape
    std::map<const TableInfo*, bool> copyable_;
    std::map<std::vector<const void*>, Spool> spools_;             // referring rows by shape
};

}  // namespace

std::unique_ptr<RowWriter> makePgRowWriter(Database& db)
{
    PGconn* const conn = pgConnection(db);
    if (conn == nullptr) return nullptr;
    return std::make_unique<PgRowWriter>(db, conn);
}

}  // namespace crv::db
