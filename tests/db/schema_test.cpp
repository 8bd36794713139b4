// The suite's tables as init-db creates them, and how the layer reads the
// real layout of a table: names without regard to case, sizes as declared.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSqlQuery>

#include "db/database_fixture.h"
#include "db/schema.h"

namespace crv::test {
namespace {

using db::DbError;

class SchemaTest : public DatabaseTest {};

TEST_P(SchemaTest, CreatesEveryTableAndFieldWithOptionalFields)
{
    auto database = connect();
    const auto created = db::createSchema(*database, true);
    ASSERT_EQ(created.size(), 4u);
    EXPECT_EQ(created[0].name, "Tabella Pratiche");
    EXPECT_EQ(created[0].columns, 42);

    for (const auto& def : db::suiteTables()) {
        const auto& info = database->table(QString::fromUtf8(def.name));
        EXPECT_EQ(info.realName(), QString::fromUtf8(def.name));
        EXPECT_EQ(info.columns().size(), def.columns.size()) << def.name;
        for (const auto& column : def.columns) {
            const db::Column* real = info.find(column.name);
            ASSERT_NE(real, nullptr) << def.name << "." << column.name;
            EXPECT_EQ(real->name, QString::fromUtf8(column.name));
            EXPECT_EQ(real->definedSize, column.kind == db::ColumnKind::Text ? column.size : -1)
                << column.name << " declared " << real->type.toStdString();
        }
    }
    const auto& pratiche = database->table(QStringLiteral("tabella pratiche"));
    EXPECT_EQ(pratiche.definedSize("RAGIONE SOCIALE"), 100);
    EXPECT_EQ(pratiche.definedSize("provincia"), 4);
    EXPECT_EQ(pratiche.definedSize("MemoEc"), -1);
    EXPECT_EQ(pratiche.definedSize("importo rata"), -1);
    EXPECT_TRUE(pratiche.has("PROVIDER_ID"));
    EXPECT_TRUE(pratiche.has("user_t15"));
    EXPECT_THROW(pratiche.definedSize("Telefono3"), DbError);

    // The check of a delivery's cases looks them up by posizione.
    QSqlQuery indexes = database->query(
        isPostgres() ? QStringLiteral("SELECT indexdef FROM pg_indexes WHERE schemaname = current_schema() "
                                      "AND tablename = 'Tabella Pratiche'")
                     : QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Tabella Pratiche'"));
    QStringList definitions;
    while (indexes.next()) definitions << indexes.value(0).toString();
    EXPECT_TRUE(definitions.join(QLatin1Char(' ')).contains(QRegularExpression(QStringLiteral("\\(\"?posizione\"?\\)"))))
        << definitions.join(QLatin1Char('|')).toStdString();
}

TEST_P(SchemaTest, WithoutOptionalLeavesOutProviderAndUserT15Only)
{
    auto database = connect();
    db::createSchema(*database, false);
    const auto& pratiche = database->table(QStringLiteral("Tabella Pratiche"));
    EXPECT_FALSE(pratiche.has("provider_id"));
    EXPECT_FALSE(pratiche.has("User_T15"));
    EXPECT_TRUE(pratiche.has("seat_Zezerader"));
    EXPECT_TRUE(pratiche.has("seat_FreeT1"));
    EXPECT_EQ(pratiche.columns().size(), 40u);
}

TEST_P(SchemaTest, RefusesADatabaseThatHasOneOfTheTables)
{
    auto database = connect();
    database->execute(QStringLiteral("CREATE TABLE notecomuni (posizione VARCHAR(50))"));
    database->execute(QStringLiteral("INSERT INTO notecomuni (posizione) VALUES ('X1')"));
    try {
        db::createSchema(*database, true);
        FAIL() << "the schema was created over an existing table";
    } catch (const DbError& error) {
        EXPECT_NE(std::string(error.what()).find("notecomuni"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(database->hasTable(QStringLiteral("Tabella Pratiche")));
    EXPECT_EQ(database->table(QStringLiteral("NOTECOMUNI")).columns().size(), 1u);
}

TEST_P(SchemaTest, SizesComeFromTheRealTableNotFromTheDefinition)
{
    // A suite database whose case table differs from the one init-db makes.
    auto database = connect();
    database->execute(QStringLiteral(
        "CREATE TABLE \"TABELLA PRATICHE\" (\"Contatore\" INTEGER PRIMARY KEY, "
        "\"TELEFONO1\" VARCHAR(12), \"garante\" CHARACTER VARYING(35), \"Note\" TEXT, "
        "\"Importo Rata\" NUMERIC(19,4))"));
    const auto& info = database->table(QStringLiteral("Tabella Pratiche"));
    EXPECT_EQ(info.realName(), "TABELLA PRATICHE");
    EXPECT_EQ(info.definedSize("Telefono1"), 12);
    EXPECT_EQ(info.definedSize("Garante"), 35);
    EXPECT_EQ(info.definedSize("note"), -1);
    EXPECT_EQ(info.definedSize("importo rata"), -1);
    EXPECT_EQ(info.find(std::string_view("contatore"))->name, "Contatore");
    EXPECT_THROW(database->table(QStringLiteral("Tabella Fatture")), DbError);
}

TEST(DeclaredTypes, SizeOnlyForTexts)
{
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("VARCHAR(50)")), 50);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("character varying(20)")), 20);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("text(3)")), 3);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("nvarchar ( 8 )")), 8);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("character(1)")), 1);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("NUMERIC(19,4)")), -1);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("TEXT")), -1);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("character varying")), -1);
    EXPECT_EQ(db::sizeFromDeclaredType(QStringLiteral("")), -1);
}

CRV_INSTANTIATE_FOR_DATABASES(SchemaTest);

}  // namespace
}  // namespace crv::test
