#pragma once
// The rows of a run on SQLite through Qt's driver, on the connection Qt
// opened and inside its transaction: one prepared statement per table and
// column set, stepped once per row with the values bound as Qt's driver binds
// them, but without Qt's copies and conversions of every value.
#include <memory>

#include "db/row_writer.h"

namespace crv::db {

// The writer, or nothing when the connection is not Qt's SQLite driver.
std::unique_ptr<RowWriter> makeSqliteRowWriter(Database& db);

}  // namespace crv::db
