#include "db/row_writer.h"

#include <algorithm>
#include <stdexcept>

#include <QSqlQuery>
#include <QStringList>

#include "db/backend.h"
#include "db/database.h"
#include "db/field_length.h"
#include "db/pg_row_writer.h"
#include "db/sqlite_row_writer.h"

namespace crv::db {

RowRefused::RowRefused(std::int64_t owner, std::int64_t lastOwner, const DbError& cause, std::string sqlState)
    : DbError(cause.context(), cause.driverText(), cause.failure()), owner_(owner), lastOwner_(lastOwner), sqlState_(std::move(sqlState))
{
    if (const auto* tooLong = dynamic_cast<const FieldTooLong*>(&cause)) field_ = tooLong->field().toStdString();
}

std::vector<const void*> RowWriter::shapeOf(const Row& row, bool wantKey)
{
    static const char keyComesBack = 0;
    std::vector<const void*> shape;
    shape.reserve(row.values.size() + 2);
    shape.push_back(row.table);
    shape.push_back(wantKey ? &keyComesBack : nullptr);
    for (const auto& [column, value] : row.values) shape.push_back(column.constData());
    return shape;
}

RowWriter::Ref RowWriter::reserve()
{
    keys_.emplace_back();
    added_.push_back(0);
    referred_.push_back(0);
    return keys_.size() - 1;
}

RealValues RowWriter::resolve(const TableInfo& info, const FieldValues& values, std::int64_t owner)
{
    // The same few spellings come with every row: each is matched once.
    QHash<QString, const Column*>& names = names_[&info];
    RealValues columns;
    columns.reserve(values.size());
    std::vector<const Column*> found;
    found.reserve(values.size());
    try {
        for (const auto& [name, value] : values) {
            auto real = names.constFind(name);
            if (real == names.cend()) {
                const Column* column = info.find(name);
                if (column == nullptr) info.realColumn(name);  // the missing field, named
                real = names.insert(name, column);
            }
            const Column* column = real.value();
            const auto same = std::find(found.begin(), found.end(), column);
            if (same != found.end()) {
                columns[static_cast<std::size_t>(same - found.begin())].second = value;  // a later value wins
            } else {
                columns.emplace_back(column->name, value);
                found.push_back(column);
            }
        }
        for (std::size_t i = 0; i < columns.size(); ++i) checkTextLength(info, *found[i], columns[i].second);
    } catch (const DbError& e) {
        throw RowRefused(owner, owner, e);
    }
    return columns;
}

namespace {

// Marks the writer at work: the statements it runs through the Database do
// not ask it to settle again.
class Busy {
public:
    explicit Busy(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~Busy() { flag_ = was_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& flag_;
    bool was_;
};

}  // namespace

void RowWriter::settle()
{
    if (busy_) return;
    const Busy busy(busy_);
    settleRows();
}

void RowWriter::add(Ref row, const QString& table, const FieldValues& values, std::int64_t owner)
{
    db_.refuseIfCancelled();
    const Busy busy(busy_);
    if (row >= keys_.size() || added_[row]) throw std::logic_error("riga non riservata o già aggiunta");
    const TableInfo& info = db_.table(table);
    Row r{&info, resolve(info, values, owner), owner};
    added_[row] = 1;
    insertRow(row, std::move(r), referred_[row] != 0);
}

void RowWriter::addReferring(const QString& table, const FieldValues& values, const QString& keyOf,
                             std::optional<Ref> row, std::int64_t owner)
{
    if (row && (*row >= keys_.size() || (added_[*row] && !keys_[*row])))
        throw std::logic_error("riferimento a una riga aggiunta senza chiederne il contatore");
    const Busy busy(busy_);
    const TableInfo& info = db_.table(table);
    FieldValues all;
    all.reserve(values.size() + 1);
    all.emplace_back(keyOf, static_cast<qlonglong>(0));
    all.insert(all.end(), values.begin(), values.end());
    if (row) referred_[*row] = 1;
    waiting_.push_back({{&info, resolve(info, all, owner), owner}, row});
    queued();
}

bool RowWriter::frontReady() const
{
    if (waiting_.empty()) return false;
    const Waiting& w = waiting_.front();
    return !w.ref || keys_[*w.ref].has_value();
}

void RowWriter::fillKey(Waiting& w) const
{
    w.row.values.front().second = static_cast<qlonglong>(w.ref ? *keys_[*w.ref] : 0);
}

std::size_t RowWriter::sameGroup(std::size_t limit, bool sameOwner) const
{
    const Waiting& first = waiting_.front();
    std::size_t n = 1;
    while (n < waiting_.size() && n < limit) {
        const Waiting& w = waiting_[n];
        const bool ready = !w.ref || keys_[*w.ref].has_value();
        if (!ready || (sameOwner && w.row.owner != first.row.owner) || w.row.table != first.row.table ||
            w.row.values.size() != first.row.values.size())
            break;
        bool sameColumns = true;
        for (std::size_t c = 0; c < w.row.values.size() && sameColumns; ++c)
            sameColumns = w.row.values[c].first == first.row.values[c].first;
        if (!sameColumns) break;
        ++n;
    }
    return n;
}

void RowWriter::flush()
{
    settle();
    if (!waiting_.empty())
        throw DbError("Righe in attesa di una pratica mai scritta",
                      std::to_string(waiting_.size()) + " righe di " + waiting_.front().row.table->realName().toStdString());
}

void RowWriter::discard()
{
    waiting_.clear();
}

namespace {

// Through any Qt driver: one prepared statement per keyed row, and the
// referring rows together, as many as one INSERT may carry (a round trip per
// statement is what ODBC costs most). Where a savepoint can undo a statement
// (SQLite, PostgreSQL) the rows of several cases go together, and a group the
// database refuses is sent again row by row to find the case it belongs to;
// elsewhere a group holds the rows of one case. On PostgreSQL through ODBC
// the keyed rows go together too: a multi-row INSERT takes its counters
// from the sequence row after row, so its keys in ascending order are the
// rows' own in the order sent.
class StatementRowWriter final : public RowWriter {
public:
    explicit StatementRowWriter(Database& db)
        : RowWriter(db), acrossCases_(db.backend() == Backend::SQLite || db.backend() == Backend::PostgreSQL),
          keyedTogether_(db.backend() == Backend::PostgreSQL && db.dialect() == Dialect::ODBC)
    {
    }

    void settleRows() override
    {
        writeKeyed();
        writeWaiting(true);
    }

    void discard() override
    {
        keyed_.clear();
        keyedBytes_ = 0;
        RowWriter::discard();
    }

private:
    struct Keyed {
        Ref ref;
        Row row;
    };

    void insertRow(Ref ref, Row row, bool wantKey) override
    {
        if (keyedTogether_) {
            if (!keyed_.empty() && keyed_.front().row.table != row.table) writeKeyed();
            for (const auto& [column, value] : row.values)
                if (value.metaType().id() == QMetaType::QString)
                    keyedBytes_ += static_cast<const QString*>(value.constData())->size();
            // Values of any of the table's columns: the group never passes
            // the values one statement takes, nor a few megabytes of text.
            const std::size_t most = db_.rowsPerInsert(row.table->columns().size());
            keyed_.push_back({ref, std::move(row)});
            if (keyed_.size() >= most || keyedBytes_ >= kKeyedBytes) writeKeyed();
            writeWaiting(false);
            return;
        }
        try {
            if (wantKey)
                keys_[ref] = db_.insertColumns(*row.table, row.values);
            else
                db_.appendRows(*row.table, {&row.values});
        } catch (const DbError& e) {
            throw RowRefused(row.owner, row.owner, e);
        }
        writeWaiting(false);
    }

    void queued() override { writeWaiting(false); }

    // The keyed rows gathered, in one INSERT: the union of their columns,
    // DEFAULT where a row has no value (as if the column were left out).
    void writeKeyed()
    {
        if (keyed_.empty()) return;
        const TableInfo& table = *keyed_.front().row.table;
        QStringList columns;
        for (const Keyed& k : keyed_)
            for (const auto& [name, value] : k.row.values)
                if (!columns.contains(name)) columns << name;
        QStringList quoted;
        for (const QString& c : columns) quoted << db_.quote(c);
        QString sql = QStringLiteral("INSERT INTO ") + db_.quote(table.realName()) + QStringLiteral(" (") +
                      quoted.join(QLatin1Char(',')) + QStringLiteral(") VALUES ");
        QVariantList binds;
        for (std::size_t r = 0; r < keyed_.size(); ++r) {
            sql += r > 0 ? QStringLiteral(",(") : QStringLiteral("(");
            for (qsizetype c = 0; c < columns.size(); ++c) {
                const auto& values = keyed_[r].row.values;
                const auto found = std::find_if(values.begin(), values.end(),
                                                [&](const auto& v) { return v.first == columns[c]; });
                sql += (c > 0 ? QStringLiteral(",") : QString()) +
                       (found == values.end() ? QStringLiteral("DEFAULT") : QStringLiteral("?"));
                if (found != values.end()) binds << found->second;
            }
            sql += QLatin1Char(')');
        }
        sql += QStringLiteral(" RETURNING ") + db_.quote(table.realColumn(QStringLiteral("contatore")));

        const QString savepoint = QStringLiteral("crvxml_pratiche");
        db_.executeDirect(QStringLiteral("SAVEPOINT ") + savepoint);
        std::vector<qint64> keys;
        try {
            QSqlQuery result = db_.query(sql, binds);
            while (result.next()) keys.push_back(result.value(0).toLongLong());
        } catch (const DbError&) {
            keys.clear();
        }
        if (keys.size() == keyed_.size()) {
            db_.executeDirect(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
            std::sort(keys.begin(), keys.end());
            for (std::size_t r = 0; r < keyed_.size(); ++r) keys_[keyed_[r].ref] = keys[r];
        } else {
            // Refused (or a key missing): row by row, the refused one names its case.
            db_.executeDirect(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint);
            db_.executeDirect(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
            for (const Keyed& k : keyed_) {
                try {
                    keys_[k.ref] = db_.insertColumns(*k.row.table, k.row.values);
                } catch (const DbError& e) {
                    throw RowRefused(k.row.owner, k.row.owner, e);
                }
            }
        }
        keyed_.clear();
        keyedBytes_ = 0;
    }

    // Writes the ready rows at the front; unless `all`, a group of several
    // cases waits until it is full.
    void writeWaiting(bool all)
    {
        while (frontReady()) {
            const std::size_t most = db_.rowsPerInsert(waiting_.front().row.values.size());
            const std::size_t n = sameGroup(most, !acrossCases_);
            const bool complete = n == most || n < waiting_.size();
            if (acrossCases_ && !all && !complete) break;
            for (std::size_t i = 0; i < n; ++i) fillKey(waiting_[i]);
            if (waiting_.front().row.owner == waiting_[n - 1].row.owner)
                writeGroup(0, n);
            else
                writeGroupOfCases(n);
            waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }

    // The rows from..from+n of the queue, of one case, in one INSERT.
    void writeGroup(std::size_t from, std::size_t n)
    {
        std::vector<const RealValues*> rows;
        rows.reserve(n);
        for (std::size_t i = from; i < from + n; ++i) rows.push_back(&waiting_[i].row.values);
        try {
            db_.appendRows(*waiting_[from].row.table, rows);
        } catch (const DbError& e) {
            const std::int64_t owner = waiting_[from].row.owner;
            throw RowRefused(owner, owner, e);
        }
    }

    void writeGroupOfCases(std::size_t n)
    {
        const QString savepoint = QStringLiteral("crvxml_righe");
        db_.executeDirect(QStringLiteral("SAVEPOINT ") + savepoint);
        try {
            std::vector<const RealValues*> rows;
            rows.reserve(n);
            for (std::size_t i = 0; i < n; ++i) rows.push_back(&waiting_[i].row.values);
            db_.appendRows(*waiting_.front().row.table, rows);
        } catch (const DbError&) {
            db_.executeDirect(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint);
            db_.executeDirect(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
            for (std::size_t i = 0; i < n; ++i) writeGroup(i, 1);  // the refused row names its case
            return;
        }
        db_.executeDirect(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
    }

    // Characters of text gathered in keyed rows before they go.
    static constexpr qsizetype kKeyedBytes = 4 << 20;

    const bool acrossCases_;
    const bool keyedTogether_;
    std::vector<Keyed> keyed_;
    qsizetype keyedBytes_ = 0;
};

}  // namespace

std::unique_ptr<RowWriter> makeStatementRowWriter(Database& db)
{
    return std::make_unique<StatementRowWriter>(db);
}

std::unique_ptr<RowWriter> makeRowWriter(Database& db)
{
    if (auto pg = makePgRowWriter(db)) return pg;
    if (auto sqlite = makeSqliteRowWriter(db)) return sqlite;
    return makeStatementRowWriter(db);
}

}  // namespace crv::db
