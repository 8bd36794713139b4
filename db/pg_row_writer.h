#pragma once
// The rows of a run on PostgreSQL through Qt's driver, on the connection Qt
// opened and inside its transaction: the keyed rows are sent as prepared
// INSERTs in libpq's pipeline mode without waiting for each answer, and the
// rows that refer to them are copied (COPY FROM STDIN) once their keys are
// back. Every few hundred rows the pipeline is closed with a sync point, the
// answers are matched to the rows that caused them, and the referring rows
// ready by then are copied.
#include <memory>

#include "db/row_writer.h"

namespace crv::db {

// The writer, or nothing when the connection is not Qt's PostgreSQL driver.
std::unique_ptr<RowWriter> makePgRowWriter(Database& db);

// A value as PostgreSQL's text input reads it, the way Qt's drivers hand it
// over: nothing for NULL (a null variant, a null text, an invalid date).
std::optional<QByteArray> pgText(const QVariant& value);

// Appends `text` to a COPY line in the text format: backslash, tab, line
// feed and carriage return escaped with a backslash.
void appendCopyField(QByteArray& line, const std::optional<QByteArray>& text);

}  // namespace crv::db
