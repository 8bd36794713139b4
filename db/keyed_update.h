#pragma once
// One text column of many rows set at once, each row found by its key. The
// new values are gathered while the caller reads (in a CopySpool: little
// memory whatever their number); apply() then sends them in bulk into a
// temporary table and sets them all with one UPDATE joined to it, so that
// the waits for a server do not grow with the rows: through Qt's PostgreSQL
// driver with one COPY, through ODBC with INSERTs of many rows each. On SQLite
// (no server to wait for) and the other databases each row gets its own
// prepared UPDATE.
#include <cstdint>
#include <vector>

#include <QString>
#include <QVariant>

#include "db/copy_spool.h"
#include "db/db_error.h"

namespace crv::db {

struct Column;
class Database;
class TableInfo;

class KeyedUpdate {
public:
    // `column` and `keyColumn` are columns of `table`, matched without regard to case.
    KeyedUpdate(Database& db, const QString& table, const QString& keyColumn, const QString& column);

    // The new value (a text, or a null one) of the row whose key is `key`;
    // keys come in ascending order. A text longer than the column takes is
    // refused at once (RowRefused naming the key, caused by FieldTooLong).
    void add(qint64 key, const QVariant& value);
    std::size_t size() const { return keys_.size(); }

    // Sets every value added, inside the caller's open transaction. A row the
    // database refuses throws RowRefused naming its key (found again row by
    // row, in a savepoint, when one statement did them all); a row that is no
    // longer there throws DbError.
    void apply();

private:
    void applyByRow();
    void applyJoined();
    void fillByInserts(const QString& temp);
    // The UPDATE of the rows whose keys are keys_[from..to), or all of them.
    QString joinedUpdate(const QString& temp, std::size_t from, std::size_t to) const;
    [[noreturn]] void findRefused(const QString& temp, const DbError& whole);

    Database& db_;
    const TableInfo& table_;
    const Column& key_;
    const Column& column_;
    std::vector<qint64> keys_;
    CopySpool values_;
};

}  // namespace crv::db
