#pragma once
// The columns of one table as the database itself declares them, looked up
// by name without regard to case (the suite spells one field several ways).
#include <string_view>
#include <vector>

#include <QHash>
#include <QString>

namespace crv::db {

struct Column {
    QString name;         // as the table spells it
    QString type;         // declared type, e.g. "varchar(50)", "character varying(50)"
    int definedSize = -1; // characters a text column holds; -1 when unlimited or not a text
};

class TableInfo {
public:
    TableInfo() = default;
    TableInfo(QString realName, std::vector<Column> columns);

    // The table's name as the database spells it.
    const QString& realName() const { return realName_; }
    const std::vector<Column>& columns() const { return columns_; }

    // The column of that name without regard to case, or nullptr.
    const Column* find(const QString& name) const;
    const Column* find(std::string_view name) const;
    const Column* find(const char* name) const { return find(std::string_view(name)); }
    bool has(std::string_view name) const { return find(name) != nullptr; }

    // The column's defined size (-1: no limit). Throws DbError naming the
    // field when the table has no such column.
    int definedSize(std::string_view name) const;
    // The real spelling of a column. Throws DbError naming the field when missing.
    const QString& realColumn(const QString& name) const;

private:
    QString realName_;
    std::vector<Column> columns_;
    QHash<QString, std::size_t> byLowerName_;  // index into columns_
};

// The character size in a declared type: 50 for "VARCHAR(50)",
// "character varying(50)" or "text(50)"; -1 for "TEXT", "NUMERIC(19,4)", "INTEGER".
int sizeFromDeclaredType(const QString& declaredType);

}  // namespace crv::db
