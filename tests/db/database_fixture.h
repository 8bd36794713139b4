#pragma once
// A test fixture run once against an SQLite file and once against the test
// PostgreSQL server. Each PostgreSQL test works in a schema of its own,
// dropped at the end, so tests never see each other's tables.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "db/database.h"
#include "support/test_support.h"

namespace crv::test {

class DatabaseTest : public ::testing::TestWithParam<db::Dialect> {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new connection to this test's database (a second operator).
    std::unique_ptr<db::Database> connect(db::OpenMode mode = db::OpenMode::CreateIfMissing) const;
    // This test's database with the suite's tables, and the connection to it.
    db::Database& withSchema(bool withOptional = true);

    bool isPostgres() const { return GetParam() == db::Dialect::PostgreSQL; }

    TempDir temp_;
    std::string connString_;
    std::string schema_;  // PostgreSQL only
    std::unique_ptr<db::Database> db_;
};

std::string dialectName(const ::testing::TestParamInfo<db::Dialect>& info);

}  // namespace crv::test

#define CRV_INSTANTIATE_FOR_DATABASES(Fixture)                                               \
    INSTANTIATE_TEST_SUITE_P(Databases, Fixture,                                              \
                             ::testing::Values(::crv::db::Dialect::SQLite,                    \
                                               ::crv::db::Dialect::PostgreSQL),               \
                             ::crv::test::dialectName)
