#pragma once
// The values of one row as the writers hand them over: field names as the
// import spells them, and the same values matched to the table's real columns.
#include <utility>
#include <vector>

#include <QString>
#include <QVariant>

#include "db/table_info.h"

namespace crv::db {

using FieldValues = std::vector<std::pair<QString, QVariant>>;
// Values by the table's real column names, each column once.
using RealValues = std::vector<std::pair<QString, QVariant>>;

// The value kept for each real column: a later value for the same field
// (under any spelling) replaces an earlier one. Throws DbError naming a
// field the table does not have.
RealValues byRealColumn(const TableInfo& info, const FieldValues& values);

}  // namespace crv::db
