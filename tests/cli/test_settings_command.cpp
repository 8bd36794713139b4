// crvxml impostazioni: the window's settings shown and saved without the window.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/settings.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

class SettingsCommand : public ::testing::Test {
protected:
    ProgramRun impostazioni(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {"impostazioni", "--root", suite.paths().root.string()});
        return runCrvxml(args, "C.UTF-8");
    }
    SuiteFixture suite;
};

TEST_F(SettingsCommand, ShowsTheDesignValuesThenSavesAndShowsTheNewOnes)
{
    const ProgramRun design = impostazioni({});
    EXPECT_EQ(design.status, 0) << design.err;
    EXPECT_NE(design.out.find("(non trovato: valori di progetto)\nMandato (--mandato): CRV\n"), std::string::npos)
        << design.out;
    EXPECT_NE(design.out.find("Sezioni da importare (--sezioni): 111111\n  1 Dati Identificativi: sì\n"),
              std::string::npos)
        << design.out;
    EXPECT_FALSE(std::filesystem::exists(suite.paths().crvXmlIni()));

    const ProgramRun saved =
        impostazioni({"--mandato", "DEZ", "--sit-affido=\u00C8", "--no-test", "--access", "--sections", "111110"});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_TRUE(saved.out.starts_with("Impostazioni salvate in " + suite.paths().crvXmlIni().string() + "\n"))
        << saved.out;
    // The window's file: 15 lines in windows-1252, CR LF ("Completa" last).
    EXPECT_EQ(readFile(suite.paths().crvXmlIni()),
              "DEZ\r\nMO\r\n\xC8\r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n 0 \r\n 1 \r\n 1 \r\n 0 \r\n");

    // Options not given keep what was saved.
    const ProgramRun again = impostazioni({"--no-access", "--sp-rec"});
    EXPECT_EQ(again.status, 0) << again.err;
    WindowSettings read;
    LeggiImpostazioni(suite.paths().crvXmlIni(), read);
    EXPECT_EQ(read.mandato, "DEZ");
    EXPECT_EQ(read.sitAffido, "\u00C8");
    EXPECT_EQ(read.soloTest, 0);
    EXPECT_EQ(read.usaAccess, 0);
    EXPECT_EQ(read.spRec, 1);
    EXPECT_EQ(read.sezioni[5], 0);

    const ProgramRun shown = impostazioni({});
    EXPECT_NE(shown.out.find("Access (--access, --no-access): no\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("->sp.rec (--sp-rec, --no-sp-rec): sì\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("  6 Scadenze: no\n"), std::string::npos) << shown.out;
}

TEST_F(SettingsCommand, WrongUsageAndFailedSavesLeaveTheFileAsItWas)
{
    ASSERT_EQ(impostazioni({"--mandato", "DEZ"}).status, 0);
    const std::string before = readFile(suite.paths().crvXmlIni());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--mandato", "ABCD"}, {"--intervento"}, {"--sections", "1111"}, {"--affido", "01/01/2026"},
             {"--bank"}, {"--boh"}, {"file.xml"}}) {
        const ProgramRun r = impostazioni(args);
        EXPECT_EQ(r.status, 2) << args.front();
        EXPECT_NE(r.err.find("\"crvxml impostazioni --aiuto\""), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(suite.paths().crvXmlIni()), before);
    EXPECT_NE(impostazioni({"--mandato", "ABCD"}).err.find("al massimo 3 caratteri"), std::string::npos);

    // A root without dati/: the save fails naming the file.
    const auto elsewhere = suite.paths().root / "vuota";
    std::filesystem::create_directories(elsewhere);
    const ProgramRun failed = runCrvxml({"impostazioni", "--root", elsewhere.string(), "--no-test"}, "C.UTF-8");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find((elsewhere / "dati" / "Crv_XML.ini").string()), std::string::npos) << failed.err;
}

TEST_F(SettingsCommand, AValueThatDoesNotReadBackWholeIsShownAsItWillBeRead)
{
    // Leading blanks are dropped when the file is read: the next start sees "A".
    const ProgramRun r = impostazioni({"--mandato", " A"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Mandato (--mandato): A\nIntervento (--intervento): MO\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Attenzione"), std::string::npos) << r.err;

    // A comma would shift every later line: wrong usage, nothing saved.
    const std::string before = readFile(suite.paths().crvXmlIni());
    const ProgramRun refused = impostazioni({"--intervento", "A,B"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.starts_with("Intervento contiene una virgola")) << refused.err;
    EXPECT_EQ(readFile(suite.paths().crvXmlIni()), before);
}

TEST_F(SettingsCommand, ImportTakesTheSavedValuesAndItsOptionsOverrideThem)
{
    suite.addImportFile("corvestra/completo.xml");
    ASSERT_EQ(impostazioni({"--no-details", "--access"}).status, 0);
    const std::vector<std::string> import = {"import", "--root", suite.paths().root.string()};
    auto run = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = import;
        args.insert(args.end(), extra.begin(), extra.end());
        return runCrvxml(args, "C.UTF-8");
    };
    // Test mode: no database, whatever "Access" says; details off as saved.
    const ProgramRun test = run({"completo.xml"});
    EXPECT_EQ(test.status, 0) << test.err;
    EXPECT_EQ(test.out.find("DATI_IDENTIFICATIVI"), std::string::npos);
    EXPECT_NE(run({"--details", "completo.xml"}).out.find("DATI_IDENTIFICATIVI"), std::string::npos);

    // The saved "Access" sends a normal run to the local archive, which is missing here.
    const ProgramRun access = run({"--no-test", "completo.xml"});
    EXPECT_EQ(access.status, 1);
    EXPECT_NE(access.err.find("Archivio Access NON trovato. Il programma termina"), std::string::npos) << access.err;
    const ProgramRun noAccess = run({"--no-test", "--no-access", "completo.xml"});
    EXPECT_EQ(noAccess.status, 1);
    EXPECT_NE(noAccess.err.find("vex32.ini: file non trovato"), std::string::npos) << noAccess.err;
}

}  // namespace
}  // namespace crv::test
