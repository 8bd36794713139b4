// crvxml esporta and crvxml note-comuni as an operator or a scheduler runs
// them, on a suite root whose vex32.ini names the test database.
#include "support/test_support.h"
#include "tools/varie_fixture.h"
#include "tools/xlsx_reader.h"

namespace crv::test {
namespace {

using Args = std::vector<std::string>;

class VarieCommands : public VarieTest {
protected:
    // The program on this suite root, under Italian settings.
    ProgramRun crvxml(Args args)
    {
        args.insert(args.end(), {"--root", suite.paths().root.string()});
        return runCrvxml(args, "it_IT.UTF-8");
    }

    std::string out() const { return (suite.paths().root / "casi.xlsx").string(); }
};

TEST_P(VarieCommands, EsportaWritesTheWorkbookOfTheSavedOrGivenColumns)
{
    suiteWithDatabase();
    addCase({{"posizione", "00184"}, {"Ragione sociale", "ROSSI"}, {"lottoimportazione", 4}, {"memo", "m"}});
    addCase({{"posizione", "P2"}, {"Ragione sociale", "VERDI"}, {"lottoimportazione", 5}});
    addNote("00184", "nota comune");

    const ProgramRun all = crvxml({"esporta", "--out", out()});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.err, "Elaborazione terminata\nPratiche esportate: 2 in " + out() + "\n");
    XlsxSheetRead sheet = readXlsx(out());
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.at(1, 2).text(), "ragione sociale");
    EXPECT_EQ(sheet.at(2, 1).text(), "00184");
    EXPECT_EQ(sheet.at(2, 4).text(), "nota comune");

    const ProgramRun saved = crvxml({"esporta", "--campi", "Ragione sociale,lottoimportazione", "--salva-definizione",
                                      "--lotto", "5", "--out", out()});
    ASSERT_EQ(saved.status, 0) << saved.err;
    sheet = readXlsx(out());
    ASSERT_EQ(sheet.rows.size(), 2u);
    EXPECT_EQ(sheet.at(2, 1).text(), "VERDI");
    EXPECT_EQ(sheet.at(2, 2).type, "n");
    const ProgramRun shown = crvxml({"esporta", "--definizione"});
    EXPECT_EQ(shown.out, "Ragione sociale\nlottoimportazione\n");

    // More than 100 names: the first 100 are saved, and the operator is told.
    std::string many;
    for (int i = 1; i <= 101; ++i) many += (i > 1 ? "," : "") + std::string(i == 1 ? "posizione" : "memo");
    const ProgramRun tooMany = crvxml({"esporta", "--campi", many, "--salva-definizione"});
    ASSERT_EQ(tooMany.status, 0) << tooMany.err;
    EXPECT_NE(tooMany.err.find("101 campi: sono usati i primi 100, l'ultimo è ignorato"), std::string::npos)
        << tooMany.err;
    EXPECT_EQ(crvxml({"esporta", "--definizione"}).out.size(), std::string("posizione\n").size() + 99 * 5);
}

TEST_P(VarieCommands, NoteComuniTriesAppendsOnceAndReportsTheCount)
{
    suiteWithDatabase();
    const qint64 c = addCase({{"posizione", "A"}, {"memo", "memo"}, {"tipo mandato", "CRV"}});
    addNote("A", "nota");
    const ProgramRun trying = crvxml({"note-comuni", "--mandato", "CRV", "--prova"});
    ASSERT_EQ(trying.status, 0) << trying.err;
    EXPECT_EQ(trying.err, "Prova terminata: nessun memo modificato\nPratiche a cui si accoderebbe la nota comune: "
                          "1 di 1, già accodate: 0\n");
    EXPECT_EQ(field(c, "memo").toString(), "memo");

    for (const char* count : {"1 di 1, già accodate: 0", "0 di 1, già accodate: 1"}) {
        const ProgramRun o = crvxml({"note-comuni", "--mandato", "CRV"});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, std::string("Elaborazione terminata\nPratiche con la nota comune accodata al memo: ") + count +
                             "\n");
        EXPECT_EQ(field(c, "memo").toString(), "memo\r\nnota");
    }
}

TEST_P(VarieCommands, FailuresAndWrongUsage)
{
    suiteWithDatabase();
    addCase({{"posizione", "A"}});
    const ProgramRun none = crvxml({"note-comuni", "--lotto", "3"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Nessuna pratica trovata\n");
    const ProgramRun badLotto = crvxml({"esporta", "--lotto", "tre", "--out", out()});
    EXPECT_EQ(badLotto.status, 1);
    EXPECT_EQ(badLotto.err, "Lotto Imp \"tre\" non valido: serve un numero intero\n");
    const ProgramRun unknown = crvxml({"esporta", "--campi", "posizione,colore", "--out", out()});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("Il campo \"colore\" non esiste"), std::string::npos) << unknown.err;
    EXPECT_FALSE(std::filesystem::exists(out()));

    EXPECT_EQ(crvxml({"esporta"}).status, 2);
    EXPECT_EQ(crvxml({"note-comuni", "--out", "x.xlsx"}).status, 2);
    EXPECT_EQ(crvxml({"esporta", "--out"}).status, 2);

    const ProgramRun noArchive = crvxml({"esporta", "--access", "--uscita", out()});
    EXPECT_EQ(noArchive.status, 1);
    EXPECT_EQ(noArchive.err, "Archivio Access NON trovato. Il programma termina\nManca l'archivio locale " +
                                 suite.paths().accessDb().string() + ": si crea con \"crvxml init-db --radice " +
                                 suite.paths().root.string() + " --access\"\n");

    // Refused before the run, as the import refuses them: a date that is not
    // a whole date, a workbook named as another format.
    const std::pair<Args, std::string> refused[] = {
        {{"esporta", "--affido", "7/12", "--uscita", out()}, "Data Affido\nData non valida: \"7/12\""},
        {{"note-comuni", "--scadenza", "32/13/2026"}, "Scadenza Mandato\nData non valida: \"32/13/2026\""},
        {{"note-comuni", "--affido=ieri"}, "Data Affido\nData non valida: \"ieri\""},
        {{"esporta", "--out", (suite.paths().root / "casi.csv").string()},
         "--uscita " + (suite.paths().root / "casi.csv").string() + ": si scrive una cartella di lavoro .xlsx, "
                                                                     "non un file .csv"},
    };
    for (const auto& [args, message] : refused) {
        const ProgramRun r = crvxml(args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_TRUE(r.err.starts_with(message)) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(suite.paths().root / "casi.csv"));

    std::filesystem::remove(suite.paths().vex32Ini());
    const ProgramRun closed = crvxml({"note-comuni"});
    EXPECT_EQ(closed.status, 1);
    EXPECT_TRUE(closed.err.ends_with("\nDB non collegato\n")) << closed.err;
}

CRV_INSTANTIATE_FOR_DATABASES(VarieCommands);

}  // namespace
}  // namespace crv::test
