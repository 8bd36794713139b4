#include "db/database_fixture.h"

#include <atomic>

#include <unistd.h>

#include "db/schema.h"

namespace crv::test {

namespace {

std::string uniqueSchemaName()
{
    static std::atomic<int> serial{0};
    return "crvtest_" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
}

}  // namespace

std::string dialectName(const ::testing::TestParamInfo<TestDb>& info)
{
    switch (info.param) {
    case TestDb::SQLite: return "SQLite";
    case TestDb::PostgreSQL: return "PostgreSQL";
    case TestDb::OdbcSQLite: return "OdbcSQLite";
    case TestDb::OdbcPostgreSQL: return "OdbcPostgreSQL";
    }
    return "?";
}

void DatabaseTest::SetUp()
{
    if (!isPostgres()) {
        const auto file = temp_ / "vex.sqlite";
        connString_ = isOdbc() ? sqliteOdbcConnString(file) : db::sqliteConnString(file.string());
        return;
    }
    const std::string server = postgresConnString();
    if (server.empty()) {
        if (postgresRequired()) FAIL() << "CRVXML_TEST_PG is not set but CRVXML_REQUIRE_PG is";
        GTEST_SKIP() << "no test PostgreSQL server (CRVXML_TEST_PG)";
    }
    schema_ = uniqueSchemaName();
    {
        auto admin = db::Database::open(db::parseConnString(server));
        admin->execute(QStringLiteral("CREATE SCHEMA ") + admin->quote(QString::fromStdString(schema_)));
    }
    connString_ = isOdbc() ? postgresOdbcConnString(server, schema_)
                           : server + (server.find('?') == std::string::npos ? "?" : "&") +
                                 "options=-csearch_path%3D" + schema_;
}

void DatabaseTest::TearDown()
{
    db_.reset();
    if (schema_.empty()) return;
    auto admin = db::Database::open(db::parseConnString(postgresConnString()));
    admin->execute(QStringLiteral("SET client_min_messages TO warning"));
    admin->execute(QStringLiteral("DROP SCHEMA ") + admin->quote(QString::fromStdString(schema_)) +
                   QStringLiteral(" CASCADE"));
}

std::unique_ptr<db::Database> DatabaseTest::connect(db::OpenMode mode) const
{
    return db::Database::open(db::parseConnString(connString_), mode);
}

db::Database& DatabaseTest::withSchema(bool withOptional)
{
    db_ = connect();
    db::createSchema(*db_, withOptional);
    return *db_;
}

}  // namespace crv::test
