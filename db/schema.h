#pragma once
// The suite's tables that the import and the utilities use, created by
// `crvxml init-db` in an empty SQLite file or PostgreSQL database so that the
// program can be tried without the suite. Nothing else creates tables.
#include <vector>

#include <QString>

namespace crv::db {

class Database;

// The kind of a column; each dialect gives it its own type.
enum class ColumnKind { AutoKey, Integer, Text, LongText, Date, DateTime, Currency };

struct ColumnDef {
    const char* name;
    ColumnKind kind;
    int size = 0;          // characters, for Text
    bool optional = false; // left out by --without-optional
};

struct TableDef {
    const char* name;
    std::vector<ColumnDef> columns;
    std::vector<const char*> indexed;  // columns that get an index of their own
};

// The four tables, in the order they are created.
const std::vector<TableDef>& suiteTables();

struct CreatedTable {
    QString name;
    int columns = 0;
};

// The name init-db gives the index of `column` ("ix_tabella_pratiche_posizione").
QString indexName(const char* table, const char* column);

// Creates the suite's tables in one transaction and returns what it made.
// `withOptional` false leaves out provider_id and User_T15. Refuses (DbError)
// when any of the tables exists already, and on databases other than SQLite
// and PostgreSQL (reached directly or through ODBC).
std::vector<CreatedTable> createSchema(Database& db, bool withOptional);

}  // namespace crv::db
