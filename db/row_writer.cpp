#include "db/row_writer.h"

#include <stdexcept>

#include "db/database.h"
#include "db/field_length.h"
#include "db/pg_row_writer.h"
#include "db/sqlite_row_writer.h"

namespace crv::db {

RowRefused::RowRefused(std::int64_t owner, std::int64_t lastOwner, const DbError& cause)
    : DbError(cause.context(), cause.driverText()), owner_(owner), lastOwner_(lastOwner)
{
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
    QHash<QString, QString>& names = names_[&info];
    RealValues columns;
    columns.reserve(values.size());
    try {
        for (const auto& [name, value] : values) {
            auto real = names.constFind(name);
            if (real == names.cend()) real = names.insert(name, info.realColumn(name));
            const QString& column = real.value();
            bool same = false;
            for (auto& entry : columns) {
                if (entry.first == column) {
                    entry.second = value;  // a later value for the same field wins
                    same = true;
                    break;
                }
            }
            if (!same) columns.emplace_back(column, value);
        }
        checkTextLengths(info, columns);
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

// Through any Qt driver: one prepared statement per row, and the referring
// rows of one owner together where the database takes several rows in one
// INSERT (a round trip per statement is what ODBC costs most).
class StatementRowWriter final : public RowWriter {
public:
    explicit StatementRowWriter(Database& db) : RowWriter(db) {}

    void settleRows() override { writeWaiting(); }

private:
    void insertRow(Ref ref, Row row, bool wantKey) override
    {
        try {
            if (wantKey)
                keys_[ref] = db_.insertColumns(*row.table, row.values);
            else
                db_.appendRows(*row.table, {&row.values});
        } catch (const DbError& e) {
            throw RowRefused(row.owner, row.owner, e);
        }
        writeWaiting();
    }

    void queued() override { writeWaiting(); }

    void writeWaiting()
    {
        const std::size_t most = db_.rowsPerInsert(waiting_.empty() ? 1 : waiting_.front().row.values.size());
        while (frontReady()) {
            const std::size_t n = sameGroup(most, true);
            std::vector<const RealValues*> rows;
            rows.reserve(n);
            for (std::size_t i = 0; i < n; ++i) {
                fillKey(waiting_[i]);
                rows.push_back(&waiting_[i].row.values);
            }
            try {
                db_.appendRows(*waiting_.front().row.table, rows);
            } catch (const DbError& e) {
                const std::int64_t owner = waiting_.front().row.owner;
                throw RowRefused(owner, owner, e);
            }
            waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
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
