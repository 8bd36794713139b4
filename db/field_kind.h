#pragma once
// What kind of value a column holds, read from the type the database declares
// for it: the export writes dates as dates and numbers as numbers whatever
// the database (SQLite hands every date back as text).
#include <QString>

#include "db/table_info.h"

namespace crv::db {

// The kinds the export tells apart.
enum class FieldKind {
    Text,      // character types
    Integer,   // whole numbers
    Decimal,   // currency, numeric, floating point
    Date,      // a date without time
    DateTime,  // a date with time
    Other,     // anything else (booleans, intervals, binary): shown as text
};

// The kind of a declared type: "VARCHAR(50)", "character varying(50)",
// "NUMERIC(19,4)", "timestamp without time zone", or the value type an ODBC
// driver reports ("QDate", "qlonglong", "double").
FieldKind fieldKindOf(const QString& declaredType);

// The kind of a column of a table.
inline FieldKind fieldKindOf(const Column& column) { return fieldKindOf(column.type); }

}  // namespace crv::db
