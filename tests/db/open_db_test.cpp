// Choosing the database: the suite's local file with the "Access" box,
// otherwise the connection string of vex32.ini.
#include <gtest/gtest.h>

#include "app/suite_root.h"
#include "db/open_db.h"
#include "db/schema.h"
#include "support/test_support.h"

namespace crv::test {
namespace {

using db::DbError;

class OpenDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        paths_.root = temp_.path();
        std::filesystem::create_directories(paths_.dataDir());
    }
    void writeVex32(const std::string& connString)
    {
        writeFile(paths_.vex32Ini(), "[vex32]\r\nutente=prova\r\nconnstring=" + connString + "  \r\n");
    }
    // An SQLite file holding only the named table.
    void makeArchive(const std::filesystem::path& file, const QString& table)
    {
        auto database = db::Database::open(db::parseConnString(file.string()), db::OpenMode::CreateIfMissing);
        database->execute(QStringLiteral("CREATE TABLE ") + database->quote(table) + QStringLiteral(" (x INTEGER)"));
    }

    TempDir temp_;
    SuitePaths paths_;
};

TEST_F(OpenDb, AccessBoxWithoutTheFileEndsTheProgram)
{
    writeVex32((temp_ / "altro.sqlite").string());
    try {
        db::LeggiConnString(paths_, true);
        FAIL() << "no error for a missing local archive";
    } catch (const db::AccessArchiveMissing& error) {
        EXPECT_STREQ(error.what(), "Archivio Access NON trovato. Il programma termina");
    }
    EXPECT_THROW(db::ApriDB(paths_, true), db::AccessArchiveMissing);
    EXPECT_FALSE(std::filesystem::exists(paths_.accessDb())) << "the archive must not be created";
}

TEST_F(OpenDb, AccessBoxUsesTheLocalFileWhateverVex32Says)
{
    makeArchive(paths_.accessDb(), QStringLiteral("locale"));
    makeArchive(temp_ / "altro.sqlite", QStringLiteral("configurato"));
    writeVex32((temp_ / "altro.sqlite").string());

    auto local = db::ApriDB(paths_, true);
    EXPECT_EQ(local->dialect(), db::Dialect::SQLite);
    EXPECT_TRUE(local->hasTable(QStringLiteral("LOCALE")));
    EXPECT_FALSE(local->hasTable(QStringLiteral("configurato")));

    auto configured = db::ApriDB(paths_, false);
    EXPECT_TRUE(configured->hasTable(QStringLiteral("configurato")));
    EXPECT_EQ(db::LeggiConnString(paths_, false), (temp_ / "altro.sqlite").string());
}

TEST_F(OpenDb, MissingSettingsOrArchiveIsAnError)
{
    EXPECT_EQ(db::LeggiConnString(paths_, false), "");
    EXPECT_THROW(db::ApriDB(paths_, false), DbError);

    writeVex32("Provider=SQLite;Data Source=" + (temp_ / "manca.sqlite").string());
    EXPECT_THROW(db::ApriDB(paths_, false), DbError);
    EXPECT_FALSE(std::filesystem::exists(temp_ / "manca.sqlite")) << "opening must not create the archive";

    writeVex32("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Z:\\WORK\\vex32\\dati\\vex.mdb");
    EXPECT_THROW(db::ApriDB(paths_, false), DbError);
}

TEST_F(OpenDb, PostgresFromVex32WhenAServerRuns)
{
    const std::string server = postgresConnString();
    if (server.empty()) {
        if (postgresRequired()) FAIL() << "CRVXML_TEST_PG is not set but CRVXML_REQUIRE_PG is";
        GTEST_SKIP() << "no test PostgreSQL server (CRVXML_TEST_PG)";
    }
    writeVex32(server);
    auto database = db::ApriDB(paths_, false);
    EXPECT_EQ(database->dialect(), db::Dialect::PostgreSQL);
    auto version = database->query(QStringLiteral("SELECT current_setting('server_version_num')"));
    ASSERT_TRUE(version.next());
    EXPECT_GE(version.value(0).toInt(), 150000);
}

}  // namespace
}  // namespace crv::test
