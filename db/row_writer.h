#pragma once
// The rows of an import run, written in bulk inside its transaction: rows
// whose key later rows refer to (the case rows) and rows that refer to one of
// them (the instalment rows), whose key column is filled once that key is
// known. How the rows travel is the connection's business: PostgreSQL
// through Qt's driver pipelines them and copies the referring ones, SQLite
// through Qt's driver steps one prepared statement per row, and ODBC sends
// one statement per row or per group of referring rows. A row that is
// refused is named by the owner its caller gave it, even when the refusal
// comes later.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <QHash>
#include <QString>

#include "db/db_error.h"
#include "db/row_values.h"

namespace crv::db {

class Database;

// A row refused by the database, or before it got there (a text too long),
// with its owner. `lastOwner` differs from `owner` only when the database did
// not say which row of a group it refused.
class RowRefused : public DbError {
public:
    RowRefused(std::int64_t owner, std::int64_t lastOwner, const DbError& cause, std::string sqlState = {});
    std::int64_t owner() const { return owner_; }
    std::int64_t lastOwner() const { return lastOwner_; }
    // PostgreSQL's code for the refusal where it gave one ("57014": the
    // statement was cancelled, "23514": a check failed); empty otherwise.
    const std::string& sqlState() const { return sqlState_; }
    // The field of a value refused as too long for it; empty otherwise.
    const std::string& field() const { return field_; }

private:
    std::int64_t owner_;
    std::int64_t lastOwner_;
    std::string sqlState_;
    std::string field_;
};

class RowWriter {
public:
    using Ref = std::size_t;

    virtual ~RowWriter() = default;
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // A row to be added later, which other rows may refer to already.
    Ref reserve();
    // Adds the reserved row. Its key (the column "contatore") is learnt only
    // when rows added before it refer to it: no row may refer to it later.
    void add(Ref row, const QString& table, const FieldValues& values, std::int64_t owner);
    // Adds a row whose `keyOf` column holds the key of `row` (0 without one).
    // Rows reach their tables in the order they were added.
    void addReferring(const QString& table, const FieldValues& values, const QString& keyOf,
                      std::optional<Ref> row, std::int64_t owner);

    // Writes all that can be written and frees the connection for ordinary
    // statements. Throws RowRefused, or DbError when the connection fails.
    // Nothing while the writer itself is at work (its own statements).
    void settle();
    // settle(), with nothing left waiting for a row never added (before the commit).
    void flush();
    // Forgets what was not written and frees the connection (before a rollback).
    virtual void discard();

protected:
    explicit RowWriter(Database& db) : db_(db) {}

    struct Row {
        const TableInfo* table;
        RealValues values;
        std::int64_t owner;
    };
    // A referring row: its key column comes first in its values.
    struct Waiting {
        Row row;
        std::optional<Ref> ref;
    };

    // What tells one prepared INSERT from another: the table, whether the
    // key comes back, and the real column names, which are shared texts told
    // apart by their addresses (no SQL built to look one up).
    static std::vector<const void*> shapeOf(const Row& row, bool wantKey);

    virtual void settleRows() = 0;
    // Writes a row now or later; its key goes to keys_[ref] when `wantKey`.
    virtual void insertRow(Ref ref, Row row, bool wantKey) = 0;
    // A referring row was queued.
    virtual void queued() {}

    // The front rows of the queue whose key is known, with it filled in.
    bool frontReady() const;
    void fillKey(Waiting& w) const;
    // How many rows at the front, at most `limit`, can go with the first one:
    // ready, with its table and columns and, when `sameOwner`, its owner.
    std::size_t sameGroup(std::size_t limit, bool sameOwner) const;

    Database& db_;
    std::vector<std::optional<std::int64_t>> keys_;  // by Ref
    std::vector<char> added_;                        // by Ref
    std::vector<char> referred_;                     // by Ref
    std::deque<Waiting> waiting_;                    // in the order added

private:
    // Values by real column, checked against the columns' sizes.
    RealValues resolve(const TableInfo& info, const FieldValues& values, std::int64_t owner);

    bool busy_ = false;
    // Real column names by the spelling the caller used, per table.
    QHash<const TableInfo*, QHash<QString, const Column*>> names_;
};

// The writer for the connection: see above.
std::unique_ptr<RowWriter> makeRowWriter(Database& db);
// One prepared statement per row whatever the connection (the reference the
// faster writers are compared with).
std::unique_ptr<RowWriter> makeStatementRowWriter(Database& db);

}  // namespace crv::db
