// ODBC: which database stands behind a driver, and the standard catalog
// that the Access driver is read through, tried on the two drivers at hand.
#include <gtest/gtest.h>

#include <QSqlDatabase>

#include "db/backend.h"
#include "db/database_fixture.h"
#include "db/odbc_catalog.h"
#include "db/schema.h"

namespace crv::test {
namespace {

using db::Backend;

TEST(OdbcBackends, TheNamesDriversGiveAndTheQuotingOfEach)
{
    EXPECT_EQ(db::backendFromDbmsName(QStringLiteral("SQLite")), Backend::SQLite);
    EXPECT_EQ(db::backendFromDbmsName(QStringLiteral("PostgreSQL")), Backend::PostgreSQL);
    EXPECT_EQ(db::backendFromDbmsName(QStringLiteral("Microsoft SQL Server")), Backend::SqlServer);
    EXPECT_EQ(db::backendFromDbmsName(QStringLiteral("ACCESS")), Backend::Access);
    for (const char* unknown : {"MySQL", "MariaDB", "Oracle", "DB2/LINUXX8664", "MDBTOOLS", "Microsoft Excel", ""})
        EXPECT_FALSE(db::backendFromDbmsName(QString::fromUtf8(unknown)).has_value()) << unknown;

    EXPECT_EQ(db::quoteIdentifier(Backend::SQLite, QStringLiteral("Tabella \"P\"")), "\"Tabella \"\"P\"\"\"");
    EXPECT_EQ(db::quoteIdentifier(Backend::PostgreSQL, QStringLiteral("a.b")), "\"a.b\"");
    EXPECT_EQ(db::quoteIdentifier(Backend::SqlServer, QStringLiteral("tabella [x]")), "[tabella [x]]]");
    EXPECT_EQ(db::quoteIdentifier(Backend::Access, QStringLiteral("DATA scadenza")), "[DATA scadenza]");
}

// A QODBC connection of the test's own, beside the layer's.
class OdbcCatalog : public DatabaseTest {
protected:
    void TearDown() override
    {
        qdb_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("odbc-catalog-test"));
        DatabaseTest::TearDown();
    }
    QSqlDatabase& plainOdbc()
    {
        qdb_ = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("odbc-catalog-test"));
        qdb_.setDatabaseName(QString::fromStdString(connString_));
        EXPECT_TRUE(qdb_.open()) << connString_;
        return qdb_;
    }
    QSqlDatabase qdb_;
};

TEST_P(OdbcCatalog, TheDriverNamesTheDatabaseBehindIt)
{
    const auto database = connect();
    EXPECT_EQ(database->dialect(), db::Dialect::ODBC);
    EXPECT_EQ(database->backend(), isPostgres() ? Backend::PostgreSQL : Backend::SQLite);
    EXPECT_EQ(db::odbcDbmsName(plainOdbc()), isPostgres() ? "PostgreSQL" : "SQLite");

    QSqlDatabase closed;
    EXPECT_THROW(db::odbcDbmsName(closed), db::DbError);
}

TEST_P(OdbcCatalog, TheStandardCatalogGivesFieldsInOrderWithTheirSizes)
{
    withSchema();
    // A second table whose name differs only where a pattern would match any
    // character: only the table asked for must answer.
    db_->execute(QStringLiteral("CREATE TABLE \"Tabella_Xratiche\" (\"solo\" VARCHAR(3))"));
    QSqlDatabase& odbc = plainOdbc();

    for (const db::TableDef& def : db::suiteTables()) {
        const auto columns = db::odbcColumns(odbc, QString::fromUtf8(def.name));
        ASSERT_EQ(columns.size(), def.columns.size()) << def.name;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const db::ColumnDef& expected = def.columns[i];
            EXPECT_EQ(columns[i].name, QString::fromUtf8(expected.name));
            EXPECT_EQ(columns[i].definedSize, expected.kind == db::ColumnKind::Text ? expected.size : -1)
                << expected.name << " " << columns[i].type.toStdString();
            if (expected.kind == db::ColumnKind::Date) {
                EXPECT_TRUE(columns[i].type.contains(QStringLiteral("date"), Qt::CaseInsensitive))
                    << expected.name << " " << columns[i].type.toStdString();
            }
        }
    }
    EXPECT_EQ(db::odbcColumns(odbc, QStringLiteral("Tabella_Xratiche")).size(), 1u);
    EXPECT_TRUE(db::odbcColumns(odbc, QStringLiteral("Tabella Inesistente")).empty());
}

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcCatalog, ::testing::Values(TestDb::OdbcSQLite, TestDb::OdbcPostgreSQL),
                         dialectName);

}  // namespace
}  // namespace crv::test
