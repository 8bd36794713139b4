// crvxml import as an operator runs it against the database that vex32.ini
// names, whichever way the connection string reaches it (Qt's own drivers or
// ODBC): the rows, the batch and its count arrive, a failed run leaves
// nothing behind.
#include <gtest/gtest.h>

#include "db/database_fixture.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

class ImportThroughConnString : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped()) return;
        withSchema();
        writeFile(suite.paths().vex32Ini(), "[vex32]\r\nconnstring=" + connString_ + "\r\n");
    }

    ProgramRun importa(const std::string& sample, bool bank = false)
    {
        std::vector<std::string> args = {"import",     "--root",     suite.paths().root.string(),
                                         "--no-test",  "--mandato",  "CRV",
                                         "--affido",   "07/12/2026", "--scadenza",
                                         "06/01/2027", "--intervento", "MO",
                                         "--sit-affido", "A"};
        if (bank) args.emplace_back("--bank");
        args.push_back(suite.addImportFile(sample));
        return runCrvxml(args, "it_IT.UTF-8");
    }

    qint64 count(const QString& table)
    {
        auto rows = db_->query(QStringLiteral("SELECT COUNT(*) FROM ") + db_->quote(table));
        return rows.next() ? rows.value(0).toLongLong() : -1;
    }

    SuiteFixture suite;
};

TEST_P(ImportThroughConnString, NormalRunsStoreRowsAndCountsAndAFailedRunNothing)
{
    const ProgramRun corvestra = importa("corvestra/completo.xml");
    ASSERT_EQ(corvestra.status, 0) << corvestra.err;
    EXPECT_NE(corvestra.err.find("Importazione Conclusa"), std::string::npos) << corvestra.err;
    EXPECT_EQ(count(QStringLiteral("Tabella Pratiche")), 3);
    auto batch = db_->query(QStringLiteral("SELECT %1, %2 FROM %3")
                                .arg(db_->quote(QStringLiteral("contatore")), db_->quote(QStringLiteral("NumPratiche")),
                                     db_->quote(QStringLiteral("TabellaLottiImp"))));
    ASSERT_TRUE(batch.next());
    const qint64 lotto = batch.value(0).toLongLong();
    EXPECT_EQ(batch.value(1).toInt(), 3);
    EXPECT_FALSE(batch.next());
    batch.finish();
    EXPECT_NE(corvestra.out.find("Lotto Imp: " + std::to_string(lotto)), std::string::npos) << corvestra.out;
    auto tagged = db_->query(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                                 .arg(db_->quote(QStringLiteral("Tabella Pratiche")),
                                      db_->quote(QStringLiteral("lottoimportazione"))),
                             {lotto});
    ASSERT_TRUE(tagged.next());
    EXPECT_EQ(tagged.value(0).toInt(), 3);
    tagged.finish();

    // The second case's amount is refused after the first case was written.
    const ProgramRun failed = importa("corvestra/importo_errato.xml");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("l'archivio non è stato modificato"), std::string::npos) << failed.err;
    EXPECT_EQ(count(QStringLiteral("Tabella Pratiche")), 3);
    EXPECT_EQ(count(QStringLiteral("TabellaLottiImp")), 1);

    const ProgramRun bank = importa("banca/due_pratiche.xml", true);
    ASSERT_EQ(bank.status, 0) << bank.err;
    EXPECT_EQ(count(QStringLiteral("Tabella Pratiche")), 5);
    EXPECT_EQ(count(QStringLiteral("TabellaLottiImp")), 2);
    EXPECT_EQ(count(QStringLiteral("tabella fatture")), 4);
}

CRV_INSTANTIATE_FOR_DATABASES(ImportThroughConnString);

}  // namespace
}  // namespace crv::test
