#pragma once
// A test fixture run four times: against an SQLite file and against the test
// PostgreSQL server, each reached through Qt's own driver and through ODBC
// (Debian's SQLite and PostgreSQL drivers). Each PostgreSQL test works in a
// schema of its own, dropped at the end, so tests never see each other's
// tables.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "db/database.h"
#include "support/test_support.h"

namespace crv::test {

// How a database test reaches its database.
enum class TestDb { SQLite, PostgreSQL, OdbcSQLite, OdbcPostgreSQL };

class DatabaseTest : public ::testing::TestWithParam<TestDb> {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new connection to this test's database (a second operator).
    std::unique_ptr<db::Database> connect(db::OpenMode mode = db::OpenMode::CreateIfMissing) const;
    // This test's database with the suite's tables, and the connection to it.
    db::Database& withSchema(bool withOptional = true);

    // The database behind the connection is PostgreSQL (directly or through ODBC).
    bool isPostgres() const { return GetParam() == TestDb::PostgreSQL || GetParam() == TestDb::OdbcPostgreSQL; }
    // The connection goes through Qt's ODBC driver.
    bool isOdbc() const { return GetParam() == TestDb::OdbcSQLite || GetParam() == TestDb::OdbcPostgreSQL; }

    TempDir temp_;
    std::string connString_;
    std::string schema_;  // PostgreSQL only
    std::unique_ptr<db::Database> db_;
};

std::string dialectName(const ::testing::TestParamInfo<TestDb>& info);

}  // namespace crv::test

#define CRV_INSTANTIATE_FOR_DATABASES(Fixture)                                               \
    INSTANTIATE_TEST_SUITE_P(Databases, Fixture,                                              \
                             ::testing::Values(::crv::test::TestDb::SQLite,                   \
                                               ::crv::test::TestDb::PostgreSQL,               \
                                               ::crv::test::TestDb::OdbcSQLite,               \
                                               ::crv::test::TestDb::OdbcPostgreSQL),          \
                             ::crv::test::dialectName)
