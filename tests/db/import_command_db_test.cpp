// crvxml import in normal mode against a real database, as a scheduled run
// uses it: the saved settings, the switches that override them and the
// database named before the listing.
#include <gtest/gtest.h>

#include <QSqlQuery>

#include "app/suite_root.h"
#include "db/connection_string.h"
#include "db/database_fixture.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

class ImportCommandDb : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        withSchema();
        writeFile(suite.paths().vex32Ini(), "[vex32]\r\nconnstring=" + connString_ + "\r\n");
        suite.addImportFile("corvestra/completo.xml");
    }
    ProgramRun crvxml(std::vector<std::string> args) const
    {
        args.insert(args.begin() + 1, {"--root", suite.paths().root.string()});
        return runCrvxml(args, "C.UTF-8");
    }
    // One text column of a table, row by row.
    std::vector<std::string> column(const char* table, const char* field)
    {
        auto db = connect();
        QSqlQuery q = db->query(QStringLiteral("SELECT %1 FROM %2 ORDER BY contatore")
                                    .arg(db->quote(QString::fromUtf8(field)), db->quote(QString::fromUtf8(table))));
        std::vector<std::string> out;
        while (q.next()) out.push_back(q.value(0).toString().toStdString());
        return out;
    }
    SuiteFixture suite;
};

TEST_P(ImportCommandDb, ASavedAccessIsOverriddenAndTheDatabaseIsNamed)
{
    ASSERT_EQ(crvxml({"impostazioni", "--access", "--no-test"}).status, 0);
    const ProgramRun local = crvxml({"import", "completo.xml"});
    EXPECT_EQ(local.status, 1);
    EXPECT_NE(local.err.find("Archivio Access NON trovato"), std::string::npos) << local.err;

    const ProgramRun run = crvxml({"import", "--no-access", "completo.xml"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.starts_with("Database: " + db::captionText(connString_) + "\n")) << run.err;
    EXPECT_TRUE(run.err.ends_with("\nImportazione Conclusa\n")) << run.err;
    EXPECT_EQ(column("Tabella Pratiche", "posizione").size(), 3u);
    EXPECT_EQ(column("TabellaLottiImp", "NumPratiche"), std::vector<std::string>{"3"});
}

TEST_P(ImportCommandDb, AGarbledSettingsFileCannotOverfillTheBoxesFields)
{
    // A quote never closed: one value, with line ends in it, for every control.
    writeFile(suite.paths().crvXmlIni(), "\"ABCDEFG\r\nXY\r\nZ\r\n 1 \r\n 0 \r\n");
    const ProgramRun run = crvxml({"import", "--no-test", "--no-int-da-file", "completo.xml"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(column("Tabella Pratiche", "tipo mandato"), std::vector<std::string>(3, "ABC"));
    EXPECT_EQ(column("Tabella Pratiche", "tipo intervento"), std::vector<std::string>(3, "ABC"));
    EXPECT_EQ(column("Tabella Pratiche", "situazione affido"), std::vector<std::string>(3, "ABC"));
    EXPECT_EQ(column("TabellaLottiImp", "CodMandante"), std::vector<std::string>{"ABC"});
    EXPECT_EQ(column("TabellaLottiImp", "TipoIntervento"), std::vector<std::string>{"ABC"});
}

CRV_INSTANTIATE_FOR_DATABASES(ImportCommandDb);

}  // namespace
}  // namespace crv::test
