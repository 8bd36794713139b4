// Rows written and read back through the layer: field names in any case,
// values always bound, one transaction that can be undone.
#include <gtest/gtest.h>

#include <QDate>

#include "db/database_fixture.h"
#include "db/field_length.h"
#include "db/schema.h"

namespace crv::test {
namespace {

using db::DbError;
const QString pratiche = QStringLiteral("Tabella Pratiche");

class DatabaseRows : public DatabaseTest {
protected:
    int rowCount(const QString& table)
    {
        auto rows = db_->query(QStringLiteral("SELECT COUNT(*) FROM ") + db_->quote(table));
        EXPECT_TRUE(rows.next());
        return rows.value(0).toInt();
    }
};

TEST_P(DatabaseRows, FieldNamesInAnyCaseReachTheRealColumns)
{
    auto& database = withSchema();
    const qint64 key = database.insert(QStringLiteral("TABELLA PRATICHE"),
                                       {{QStringLiteral("POSIZIONE"), QStringLiteral("P-001")},
                                        {QStringLiteral("ragione sociale"), QStringLiteral("Rossi Mario")},
                                        {QStringLiteral("Data Affido"), QDate(2026, 12, 7)},
                                        {QStringLiteral("Importo Rata"), QStringLiteral(" 1234.5")},
                                        {QStringLiteral("tipo intervento"), QStringLiteral("MO")},
                                        {QStringLiteral("Tipo Intervento"), QStringLiteral("DA FILE")},
                                        {QStringLiteral("MEMOEC"), QStringLiteral("riga 1\r\nriga 2")}});
    EXPECT_GT(key, 0);
    const QVariantList row = database.selectRow(
        pratiche,
        {QStringLiteral("posizione"), QStringLiteral("Ragione Sociale"), QStringLiteral("data affido"),
         QStringLiteral("importo rata"), QStringLiteral("TIPO INTERVENTO"), QStringLiteral("memoec"),
         QStringLiteral("garante")},
        QStringLiteral("Contatore"), key);
    ASSERT_EQ(row.size(), 7);
    EXPECT_EQ(row[0].toString(), "P-001");
    EXPECT_EQ(row[1].toString(), "Rossi Mario");
    EXPECT_EQ(row[2].toDate(), QDate(2026, 12, 7));
    EXPECT_DOUBLE_EQ(row[3].toString().toDouble(), 1234.5);
    EXPECT_EQ(row[4].toString(), "DA FILE") << "a later value for the same field wins";
    EXPECT_EQ(row[5].toString(), "riga 1\r\nriga 2");
    EXPECT_TRUE(row[6].isNull());
}

TEST_P(DatabaseRows, ATextLongerThanItsFieldIsRefusedOnInsertAndUpdate)
{
    auto& database = withSchema();
    // Provincia holds 4 characters: four accented letters fit (characters,
    // not bytes, as the database counts them), five do not.
    const QString four = QStringLiteral("\u00E0\u00E8\u00EC\u00F2");
    const qint64 key = database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-1")},
                                                  {QStringLiteral("provincia"), four}});
    EXPECT_EQ(database.selectRow(pratiche, {QStringLiteral("Provincia")}, QStringLiteral("contatore"), key)[0]
                  .toString(),
              four);
    try {
        database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-2")},
                                   {QStringLiteral("provincia"), four + QStringLiteral("x")}});
        FAIL() << "a five-character Provincia was inserted";
    } catch (const db::FieldTooLong& e) {
        EXPECT_EQ(e.field(), QStringLiteral("Provincia"));
        EXPECT_EQ(e.definedSize(), 4);
    }
    EXPECT_THROW(database.update(pratiche, {{QStringLiteral("Telefono1"), QString(21, QLatin1Char('1'))}},
                                 QStringLiteral("contatore"), key),
                 db::FieldTooLong);
    EXPECT_EQ(rowCount(pratiche), 1);
}

TEST_P(DatabaseRows, AMissingFieldIsNamedAndNothingIsWritten)
{
    auto& database = withSchema(false);
    try {
        database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-1")},
                                   {QStringLiteral("provider_id"), QStringLiteral("X")}});
        FAIL() << "insert into a missing field succeeded";
    } catch (const DbError& error) {
        EXPECT_NE(std::string(error.what()).find("provider_id"), std::string::npos) << error.what();
    }
    EXPECT_EQ(rowCount(pratiche), 0);
    EXPECT_THROW(database.insert(QStringLiteral("Tabella Inesistente"), {}), DbError);
}

TEST_P(DatabaseRows, QuotesAndStatementTextInValuesAreStoredAsTheyAre)
{
    auto& database = withSchema();
    const QString tricky = QStringLiteral("D'Amico; DROP TABLE \"Tabella Pratiche\"; -- \\ ? :nome $1 è€");
    const qint64 key = database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("O'1")},
                                                  {QStringLiteral("Ragione sociale"), tricky}});
    database.insert(QStringLiteral("tabella fatture"), {{QStringLiteral("conta"), key},
                                                        {QStringLiteral("numero fattura"), QStringLiteral("'")},
                                                        {QStringLiteral("periodo"), QStringLiteral("''")},
                                                        {QStringLiteral("saldo"), QStringLiteral(" 12.5")}});
    EXPECT_EQ(database.selectRow(pratiche, {QStringLiteral("ragione sociale")}, QStringLiteral("contatore"), key)[0]
                  .toString(),
              tricky);
    auto rows = database.query(QStringLiteral("SELECT ") + database.quote(QStringLiteral("numero fattura")) +
                                   QStringLiteral(", periodo FROM ") + database.quote(QStringLiteral("tabella fatture")) +
                                   QStringLiteral(" WHERE conta = ?"),
                               {key});
    ASSERT_TRUE(rows.next());
    EXPECT_EQ(rows.value(0).toString(), "'");
    EXPECT_EQ(rows.value(1).toString(), "''");
    rows.finish();
    EXPECT_EQ(rowCount(pratiche), 1);
}

TEST_P(DatabaseRows, RollbackLeavesNoRowAndClosingRollsBackAnOpenRun)
{
    auto& database = withSchema();
    database.begin();
    database.insert(QStringLiteral("TabellaLottiImp"), {{QStringLiteral("CodMandante"), QStringLiteral("CRV")}});
    database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-1")}});
    database.rollback();
    EXPECT_EQ(rowCount(QStringLiteral("TabellaLottiImp")), 0);
    EXPECT_EQ(rowCount(pratiche), 0);

    {
        auto other = connect();
        other->begin();
        other->insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-2")}});
    }  // closed with the run still open
    EXPECT_EQ(rowCount(pratiche), 0);

    database.begin();
    const qint64 key = database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-3")}});
    database.update(pratiche, {{QStringLiteral("MEMO"), QStringLiteral("nota")}}, QStringLiteral("contatore"), key);
    database.commit();
    EXPECT_EQ(rowCount(pratiche), 1);
    auto reader = connect();
    EXPECT_EQ(reader->selectRow(pratiche, {QStringLiteral("memo")}, QStringLiteral("contatore"), key)[0].toString(),
              "nota");
}

TEST_P(DatabaseRows, AFailedStatementInsideARunIsReportedAndUndone)
{
    auto& database = withSchema();
    database.begin();
    const qint64 key = database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-1")}});
    try {
        database.insert(pratiche, {{QStringLiteral("contatore"), key}, {QStringLiteral("posizione"), QStringLiteral("P-2")}});
        FAIL() << "a second row with the same counter was accepted";
    } catch (const DbError& error) {
        EXPECT_FALSE(error.driverText().empty());
        EXPECT_NE(error.context().find("Tabella Pratiche"), std::string::npos) << error.context();
    }
    database.rollback();
    EXPECT_EQ(rowCount(pratiche), 0);
}

TEST_P(DatabaseRows, ManyRowsInOneRunPrepareOnce)
{
    auto& database = withSchema();
    database.begin();
    qint64 previous = 0;
    for (int i = 0; i < 2000; ++i) {
        const qint64 key = database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-%1").arg(i)},
                                                      {QStringLiteral("lottoimportazione"), 7},
                                                      {QStringLiteral("rate arretrate"), 1}});
        ASSERT_GT(key, previous);
        previous = key;
    }
    database.commit();
    EXPECT_EQ(rowCount(pratiche), 2000);
}

TEST_P(DatabaseRows, UpdateAndSelectOfAMissingRowFail)
{
    auto& database = withSchema();
    EXPECT_THROW(database.update(pratiche, {{QStringLiteral("memo"), QStringLiteral("x")}},
                                 QStringLiteral("contatore"), -1),
                 DbError);
    EXPECT_THROW(database.selectRow(pratiche, {QStringLiteral("memo")}, QStringLiteral("contatore"), -1), DbError);
}

TEST_P(DatabaseRows, AWriteToADatabaseThatOnlyReadsSaysSoInItalianNamingIt)
{
    auto& database = withSchema();
    // What an archive without write permission, or a read-only server, answers.
    database.execute(isPostgres() ? QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")
                                  : QStringLiteral("PRAGMA query_only = 1"));
    try {
        database.insert(pratiche, {{QStringLiteral("posizione"), QStringLiteral("P-1")}});
        FAIL() << "a row was written";
    } catch (const DbError& error) {
        const std::string expected =
            isPostgres() ? "il database " + db::parseConnString(postgresConnString()).databaseName.toStdString() +
                               " accetta solo letture"
                         : "l'archivio " + (temp_ / "vex.sqlite").string() + " è di sola lettura";
        EXPECT_TRUE(error.driverText().starts_with(expected)) << error.driverText();
    }
}

TEST_P(DatabaseRows, AFailedOpenCarriesTheDriversText)
{
    if (isOdbc()) {
        // A server nobody listens on, and a driver the driver manager does not know.
        const std::string noServer = isPostgres()
            ? "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=nessuno;Uid=postgres;Pwd="
            : "Driver={SQLite3};Database=" + (temp_ / "cartella" / "manca" / "x.sqlite").string();
        for (const std::string& connString : {noServer, std::string("Driver={Nessun Driver};Database=x")}) {
            try {
                db::Database::open(db::parseConnString(connString));
                FAIL() << "opened " << connString;
            } catch (const DbError& error) {
                EXPECT_EQ(error.context(), "Impossibile aprire il database");
                EXPECT_FALSE(error.driverText().empty()) << connString;
            }
        }
    } else if (isPostgres()) {
        // A port nobody listens on.
        try {
            db::Database::open(db::parseConnString("postgresql://postgres@127.0.0.1:1/nessuno?connect_timeout=5"));
            FAIL() << "opened a server that does not exist";
        } catch (const DbError& error) {
            EXPECT_EQ(error.context(), "Impossibile aprire il database");
            EXPECT_NE(error.driverText().find("127.0.0.1"), std::string::npos) << error.driverText();
        }
    } else {
        EXPECT_THROW(db::Database::open(db::parseConnString((temp_ / "manca.sqlite").string())), DbError);
        try {
            db::Database::open(db::parseConnString((temp_ / "cartella" / "manca" / "x.sqlite").string()),
                               db::OpenMode::CreateIfMissing);
            FAIL() << "created a file in a missing folder";
        } catch (const DbError& error) {
            EXPECT_FALSE(error.driverText().empty());
        }
    }
}

CRV_INSTANTIATE_FOR_DATABASES(DatabaseRows);

}  // namespace
}  // namespace crv::test
