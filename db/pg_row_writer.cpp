#include "db/pg_row_writer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include <poll.h>

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>

#include <libpq-fe.h>

#include "db/database.h"
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

// Rows sent before the pipeline is closed and answered when referring rows
// wait for their keys, and the bytes of referring rows gathered before they
// are copied: both keep a round short (a stop waits for its end).
constexpr int kRoundRows = 500;
constexpr qsizetype kRoundBytes = 4 << 20;
// Bytes handed to the server at a time during a COPY.
constexpr qsizetype kCopyChunk = 256 << 10;

std::string sqlState(const PGresult* result)
{
    const char* code = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    return code ? code : "";
}

std::string trimmed(const char* text)
{
    std::string out = text ? text : "";
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// The line of a COPY's data that the server refused, from the context of its
// error ("COPY name, line 3, column x: ..." in any language): the first
// number after the table's name. 0 when it is not there.
long copyLine(const PGresult* result, const QByteArray& tableName)
{
    const char* context = PQresultErrorField(result, PG_DIAG_CONTEXT);
    if (context == nullptr) return 0;
    const std::string text(context);
    const std::string head = "COPY " + tableName.toStdString() + ",";
    const std::size_t at = text.find(head);
    if (at == std::string::npos) return 0;
    const std::size_t digit = text.find_first_of("0123456789", at + head.size());
    if (digit == std::string::npos) return 0;
    return std::strtol(text.c_str() + digit, nullptr, 10);
}

class PgRowWriter final : public RowWriter {
public:
    PgRowWriter(Database& db, PGconn* conn) : RowWriter(db), conn_(conn) {}
    ~PgRowWriter() override { discard(); }

    void settleRows() override
    {
        endPipeline();
        copyWaiting();
    }

    void discard() override
    {
        RowWriter::discard();
        refused_.reset();
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

    void insertRow(Ref ref, Row row, bool wantKey) override
    {
        send(ref, row, wantKey);
        // A refusal is reported as soon as it is known, with its own row; a
        // round ends only for rows waiting for keys (none in the Corvestra format).
        ++inRound_;
        if (refused_ || (inRound_ >= kRoundRows && !waiting_.empty())) {
            settleRows();
        } else if (inRound_ % kRoundRows == 0) {
            // The server holds its answers until asked: a refusal comes back now.
            if (PQsendFlushRequest(conn_) != 1) lost();
            pump(false);
        }
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
        waitingBytes_ += 64;
        for (const auto& [column, value] : waiting_.back().row.values)
            if (value.metaType().id() == QMetaType::QString)
                waitingBytes_ += static_cast<const QString*>(value.constData())->size();
        if (waitingBytes_ >= kRoundBytes) settleRows();
    }

    void enterPipeline()
    {
        // What Qt's driver left unread of a query it finished (the closing
        // answer of a row-by-row result) is dropped, as libpq's own PQexec
        // does before each statement: pipeline mode needs an idle connection.
        if (PQisBusy(conn_) == 0 && PQtransactionStatus(conn_) == PQTRANS_ACTIVE)
            while (PGresult* leftover = PQgetResult(conn_)) PQclear(leftover);
        if (PQenterPipelineMode(conn_) != 1)
            throw DbError("Impossibile inviare le righe al database", trimmed(PQerrorMessage(conn_)));
        // Sending never waits for the server: a full socket is emptied of
        // answers before more is sent, so neither side waits for the other.
        PQsetnonblocking(conn_, 1);
        pipeline_ = true;
        inRound_ = 0;
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
            refuse(front, cause(rowContext(front), result), sqlState(result));
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
            throw DbError("Impossibile concludere l'invio delle righe", trimmed(PQerrorMessage(conn_)));
        PQsetnonblocking(conn_, 0);
        pipeline_ = false;
        inRound_ = 0;
        if (refused_) {
            const RowRefused refused = *refused_;
            refused_.reset();
            throw refused;
        }
    }

    // The server's message as Qt's driver would report it, read in Italian
    // where the operator can mend the cause (a read-only server), and known
    // for what it is (a stop, a lock waited for too long, a lost server).
    DbError cause(const std::string& context, const PGresult* result) const
    {
        return db_.failure(context, QSqlError(QString(), QString::fromStdString(trimmed(PQresultErrorMessage(result))),
                                              QSqlError::StatementError, QString::fromStdString(sqlState(result))));
    }

    [[noreturn]] void lost()
    {
        throw db_.failure("Connessione al database interrotta durante la scrittura",
                          QSqlError(QString(), QString::fromStdString(trimmed(PQerrorMessage(conn_))),
                                    QSqlError::ConnectionError));
    }

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
            error.emplace(cause("Impossibile leggere la tabella " + table.realName().toStdString(), result));
        PQclear(result);
        if (error) throw *error;
        return copyable_.emplace(&table, ok).first->second;
    }

    // The referring rows whose keys are known, one COPY per table and columns.
    void copyWaiting()
    {
        while (frontReady()) {
            const std::size_t n = sameGroup(waiting_.size(), false);
            for (std::size_t i = 0; i < n; ++i) fillKey(waiting_[i]);
            const TableInfo& table = *waiting_.front().row.table;
            if (copyable(table)) {
                copyRows(table, n);
            } else {
                for (std::size_t i = 0; i < n; ++i) send(0, waiting_[i].row, false);
                endPipeline();
            }
            waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(n));
        }
        waitingBytes_ = 0;
        for (const Waiting& w : waiting_) waitingBytes_ += 64 + static_cast<qsizetype>(w.row.values.size()) * 16;
    }

    void copyRows(const TableInfo& table, std::size_t n)
    {
        const RealValues& first = waiting_.front().row.values;
        QString sql = QStringLiteral("COPY ") + db_.quote(table.realName()) + QStringLiteral(" (");
        for (std::size_t c = 0; c < first.size(); ++c) {
            if (c > 0) sql += QLatin1Char(',');
            sql += db_.quote(first[c].first);
        }
        sql += QStringLiteral(") FROM STDIN");
        auto where = [&] { return "Errore nell'aggiunta delle righe a " + table.realName().toStdString(); };

        const Canceller::Running running(db_.canceller(), nullptr);
        PGresult* start = PQexec(conn_, sql.toUtf8().constData());
        const bool copying = PQresultStatus(start) == PGRES_COPY_IN;
        std::optional<DbError> startError;
        if (!copying) startError.emplace(cause(where(), start));
        PQclear(start);
        if (!copying) {
            const std::int64_t owner = waiting_.front().row.owner;
            throw RowRefused(owner, waiting_[n - 1].row.owner, *startError);
        }

        QByteArray data;
        data.reserve(kCopyChunk + 4096);
        for (std::size_t i = 0; i < n; ++i) {
            const RealValues& values = waiting_[i].row.values;
            for (std::size_t c = 0; c < values.size(); ++c) {
                if (c > 0) data += '\t';
                appendCopyField(data, pgText(values[c].second));
            }
            data += '\n';
            if (data.size() >= kCopyChunk || i + 1 == n) {
                if (PQputCopyData(conn_, data.constData(), static_cast<int>(data.size())) != 1) lost();
                data.clear();
            }
        }
        if (PQputCopyEnd(conn_, nullptr) != 1) lost();

        std::optional<RowRefused> refused;
        while (PGresult* result = PQgetResult(conn_)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK && !refused) {
                // Rows are numbered from 1 in the data sent.
                const long line = copyLine(result, table.realName().toUtf8());
                const DbError why = cause(where(), result);
                if (line > 0 && static_cast<std::size_t>(line) <= n) {
                    const std::int64_t owner = waiting_[static_cast<std::size_t>(line - 1)].row.owner;
                    refused.emplace(owner, owner, why, sqlState(result));
                } else {
                    refused.emplace(waiting_.front().row.owner, waiting_[n - 1].row.owner, why, sqlState(result));
                }
            }
            PQclear(result);
        }
        if (refused) throw *refused;
    }

    PGconn* conn_;
    bool pipeline_ = false;
    int inRound_ = 0;
    qsizetype waitingBytes_ = 0;
    std::deque<Sent> sent_;
    std::optional<RowRefused> refused_;
    std::map<std::vector<const void*>, std::string> statements_;  // prepared names by shape
    std::map<const TableInfo*, bool> copyable_;
};

}  // namespace

std::unique_ptr<RowWriter> makePgRowWriter(Database& db)
{
    if (db.dialect() != Dialect::PostgreSQL) return nullptr;
    const QVariant handle = db.driverHandle();
    // Qt 6.4 names the type by its struct ("pg_conn*").
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    PGconn* const conn = *static_cast<PGconn* const*>(handle.constData());
    if (conn == nullptr) return nullptr;
    return std::make_unique<PgRowWriter>(db, conn);
}

}  // namespace crv::db
