#pragma once
// The values of one row as the writers hand them over: field names as the
// import spells them, and the same values matched to the table's real columns.
#include <utility>
#include <vector>

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>

#include "db/table_info.h"

namespace crv::db {

using FieldValues = std::vector<std::pair<QString, QVariant>>;
// Values by the table's real column names, each column once.
using RealValues = std::vector<std::pair<QString, QVariant>>;

// A date as ISO text (2026-04-01), the form Qt's drivers bind it in, made
// without Qt's general date formatting (a bank run binds two per instalment row).
QByteArray isoDate(const QDate& date);

// The value kept for each real column: a later value for the same field
// (under any spelling) replaces an earlier one. Throws DbError naming a
// field the table does not have.
RealValues byRealColumn(const TableInfo& info, const FieldValues& values);

}  // namespace crv::db
