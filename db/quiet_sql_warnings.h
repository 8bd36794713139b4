#pragma once
// Qt's SQL drivers print warnings of their own on standard error for
// failures this layer reports itself, once and in Italian: a lost PostgreSQL
// connection gave one "Unable to free statement" line per prepared statement,
// ODBC one "Unable to execute statement" line per failure. While an object of
// this class lives, Qt's default warnings are not printed (on any thread: the
// drivers use no category of their own).
namespace crv::db {

class QuietSqlWarnings {
public:
    QuietSqlWarnings();
    ~QuietSqlWarnings();
    QuietSqlWarnings(const QuietSqlWarnings&) = delete;
    QuietSqlWarnings& operator=(const QuietSqlWarnings&) = delete;
};

}  // namespace crv::db
