#pragma once
// Texts longer than their column's defined size are refused before the
// database sees them, with one message on every database: SQLite does not
// check sizes at all, and PostgreSQL's own error names no field.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <QString>
#include <QVariant>

#include "db/db_error.h"
#include "db/table_info.h"

namespace crv::db {

// The longest text a column without a defined size takes: beyond it
// SQLite refuses the value (a billion bytes, as Qt hands it over in UTF-16),
// and PostgreSQL's limit of a gigabyte is not far. Checked before the text is
// converted for the driver, which costs twice its size again.
inline constexpr qsizetype kLongestText = 500'000'000;

// A text value that does not fit its column.
class FieldTooLong : public DbError {
public:
    FieldTooLong(const QString& table, const QString& field, int definedSize, qsizetype length,
                 const QString& value);
    // The same with the value's first characters (UTF-8), for a value not
    // yet copied out of the file.
    FieldTooLong(const std::string& table, const std::string& field, int definedSize, std::size_t length,
                 const std::string& start);

    const QString& field() const { return field_; }
    int definedSize() const { return definedSize_; }

private:
    QString field_;
    int definedSize_ = -1;
};

// Throws FieldTooLong for the first text value, in order, that is longer (in
// characters) than the defined size of its column, or than kLongestText;
// names are the table's real ones.
void checkTextLengths(const TableInfo& table, const std::vector<std::pair<QString, QVariant>>& columns);
// The same for one value of a column of the table.
void checkTextLength(const TableInfo& table, const Column& column, const QVariant& value);

}  // namespace crv::db
