#pragma once
// The rows of a run on PostgreSQL through Qt's driver, on the connection Qt
// opened and inside its transaction: the keyed rows are sent as prepared
// INSERTs in libpq's pipeline mode without waiting for any answer, the
// answers are read as they come and matched to the rows that caused them,
// and the rows that refer to them are gathered, once their keys are back, for
// one COPY FROM STDIN per table when the run settles (before its commit or
// another statement). However many rows a run writes, it waits for the
// server a fixed number of times.
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
