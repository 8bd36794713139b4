// crvxml esporta and crvxml note-comuni as an operator or a scheduler runs
// them, on a suite root whose vex32.ini names the test database.
#include "tools/varie_fixture.h"
#include "tools/xlsx_reader.h"

namespace crv::test {
namespace {

class VarieCommands : public VarieTest {
protected:
    ProgramRun crvxml(const std::string& args)
    {
        return runCrvxmlShell(args + " --root " + shellWord(suite.paths().root.string()), "it_IT.UTF-8");
    }

    std::string out() const { return (suite.paths().root / "casi.xlsx").string(); }
};

TEST_P(VarieCommands, EsportaWritesTheWorkbookOfTheSavedOrGivenColumns)
{
    suiteWithDatabase();
    addCase({{"posizione", "00184"}, {"Ragione sociale", "ROSSI"}, {"lottoimportazione", 4}, {"memo", "m"}});
    addCase({{"posizione", "P2"}, {"Ragione sociale", "VERDI"}, {"lottoimportazione", 5}});
    addNote("00184", "nota comune");

    const ProgramRun all = crvxml("esporta --out " + shellWord(out()));
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.err, "Elaborazione terminata\nPratiche esportate: 2 in " + out() + "\n");
    XlsxSheetRead sheet = readXlsx(out());
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.at(1, 2).text(), "ragione sociale");
    EXPECT_EQ(sheet.at(2, 1).text(), "00184");
    EXPECT_EQ(sheet.at(2, 4).text(), "nota comune");

    const ProgramRun saved = crvxml("esporta --campi 'Ragione sociale,lottoimportazione' --salva-definizione "
                                 "--lotto 5 --out " + shellWord(out()));
    ASSERT_EQ(saved.status, 0) << saved.err;
    sheet = readXlsx(out());
    ASSERT_EQ(sheet.rows.size(), 2u);
    EXPECT_EQ(sheet.at(2, 1).text(), "VERDI");
    EXPECT_EQ(sheet.at(2, 2).type, "n");
    const ProgramRun shown = crvxml("esporta --definizione");
    EXPECT_EQ(shown.out, "Ragione sociale\nlottoimportazione\n");
}

TEST_P(VarieCommands, NoteComuniAppendsAndReportsTheCount)
{
    suiteWithDatabase();
    const qint64 c = addCase({{"posizione", "A"}, {"memo", "memo"}, {"tipo mandato", "CRV"}});
    addNote("A", "nota");
    const ProgramRun o = crvxml("note-comuni --mandato CRV");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "Elaborazione terminata\nPratiche con la nota comune accodata al memo: 1 di 1\n");
    EXPECT_EQ(field(c, "memo").toString(), "memo\r\nnota");
}

TEST_P(VarieCommands, FailuresAndWrongUsage)
{
    suiteWithDatabase();
    addCase({{"posizione", "A"}});
    const ProgramRun none = crvxml("note-comuni --lotto 3");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Nessuna pratica trovata\n");
    const ProgramRun badLotto = crvxml("esporta --lotto tre --out " + shellWord(out()));
    EXPECT_EQ(badLotto.status, 1);
    EXPECT_EQ(badLotto.err, "Lotto Imp \"tre\" non valido: serve un numero intero\n");
    const ProgramRun unknown = crvxml("esporta --campi 'posizione,colore' --out " + shellWord(out()));
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("Il campo \"colore\" non esiste"), std::string::npos) << unknown.err;
    EXPECT_FALSE(std::filesystem::exists(out()));

    EXPECT_EQ(crvxml("esporta").status, 2);
    EXPECT_EQ(crvxml("note-comuni --out x.xlsx").status, 2);
    EXPECT_EQ(crvxml("esporta --out").status, 2);

    const ProgramRun noArchive = crvxml("esporta --access --out " + shellWord(out()));
    EXPECT_EQ(noArchive.status, 1);
    EXPECT_EQ(noArchive.err, "Archivio Access NON trovato. Il programma termina\n");

    std::filesystem::remove(suite.paths().vex32Ini());
    const ProgramRun closed = crvxml("note-comuni");
    EXPECT_EQ(closed.status, 1);
    EXPECT_TRUE(closed.err.ends_with("\nDB non collegato\n")) << closed.err;
}

CRV_INSTANTIATE_FOR_DATABASES(VarieCommands);

}  // namespace
}  // namespace crv::test
