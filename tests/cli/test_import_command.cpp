// crvxml import as a scheduler or an operator runs it: options, defaults from
// the saved settings, exit status, standard output and standard error.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/golden_support.h"

namespace crv::test {
namespace {

ProgramRun crvxml(const std::string& args, const std::string& program = CRVXML_BINARY)
{
    return runCrvxmlShell(args, "it_IT.UTF-8", program);
}

class ImportCommand : public ::testing::Test {
protected:
    ImportCommand() { file = suite.addImportFile("corvestra/completo.xml"); }
    std::string root() const { return "--root " + shellWord(suite.paths().root.string()) + " "; }
    SuiteFixture suite;
    std::string file;
};

TEST_F(ImportCommand, TestRunPrintsTheListingAndConcludes)
{
    const ProgramRun o = crvxml("import " + root() + "--affido 07/12/2026 --scadenza 06/01/2027 " + file);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "Importazione Conclusa\n");
    EXPECT_TRUE(o.out.starts_with("Pratica         |Nominativo"));
    EXPECT_NE(o.out.find("\nPratiche importate: 3\nCap: 1.222,06\nInt: 45,10\nSpe: 1.000.020,00\n"),
              std::string::npos) << o.out;
    EXPECT_NE(o.out.find(std::string(140, '-')), std::string::npos);
    EXPECT_EQ(o.out.find("Lotto Imp"), std::string::npos);  // a test run opens no batch
}

TEST_F(ImportCommand, OptionsMirrorTheWindow)
{
    const ProgramRun o = crvxml("import " + root() + "--no-details --sections 111110 " + file);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.find("DATI_IDENTIFICATIVI"), std::string::npos);  // no memo lines
    // A date that cannot be read is wrong usage: the run does not start.
    const ProgramRun bad = crvxml("import " + root() + "--affido 31/02/2026 " + file);
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.starts_with("Inserire Data Affido\nData non valida: \"31/02/2026\"")) << bad.err;
    EXPECT_TRUE(bad.out.empty()) << bad.out;
    const ProgramRun empty = crvxml("import " + root() + "--mandato '' " + file);
    EXPECT_EQ(empty.err, "Inserire Codice Mandato\n");
    const ProgramRun missing = crvxml("import " + root() + "nessuno.xml");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Scegliere il file da importare\nFile non trovato: " +
                               (suite.paths().importDir() / "nessuno.xml").string() + "\n");
}

TEST_F(ImportCommand, WrongUsageAndHelp)
{
    EXPECT_EQ(crvxml("import " + root() + "--sections 12 " + file).status, 2);
    EXPECT_EQ(crvxml("import " + root() + "--boh " + file).status, 2);
    EXPECT_EQ(crvxml("import " + root()).status, 2);
    EXPECT_EQ(crvxml("import " + root() + "a.xml b.xml").status, 2);
    EXPECT_EQ(crvxml("sconosciuto").status, 2);
    const ProgramRun help = crvxml("import --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--sections"), std::string::npos);
    EXPECT_EQ(crvxml("--help").status, 0);
}

TEST_F(ImportCommand, SavedSettingsGiveTheDefaults)
{
    // Mandate "DEZ", intervention "XY", "Dettagli" clear.
    writeFile(suite.paths().crvXmlIni(),
              "DEZ\r\nXY\r\nB\r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n");
    const ProgramRun o = crvxml("import " + root() + file);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.find("DATI_IDENTIFICATIVI"), std::string::npos);
    const ProgramRun details = crvxml("import " + root() + "--details " + file);
    EXPECT_NE(details.out.find("DATI_IDENTIFICATIVI"), std::string::npos);
}

TEST_F(ImportCommand, NormalRunWithoutDatabaseFailsCleanly)
{
    const ProgramRun o = crvxml("import " + root() + "--no-test " + file);
    EXPECT_EQ(o.status, 1);
    EXPECT_FALSE(o.err.empty());
    const ProgramRun access = crvxml("import " + root() + "--no-test --access " + file);
    EXPECT_EQ(access.status, 1);
    EXPECT_NE(access.err.find("Archivio Access NON trovato. Il programma termina"), std::string::npos) << access.err;
}

TEST_F(ImportCommand, ControlCharactersOfTheFileReachTheTerminalAsBlanks)
{
    // ESC, BEL, a C1 control and a lone CR in the listing line and the memo
    // lines of a case, and in the message of the next case's bad amount; tabs
    // and line breaks of the program stay.
    writeFile(suite.paths().importDir() / "controlli.xml",
              "<CORVESTRA><PRATICA><CLIENTE><NOME>A\x1b[2JB\x07" "C</NOME><NOTE>x\xc2\x9by\rz</NOTE></CLIENTE></PRATICA>"
              "<PRATICA><AFFIDAMENTI><SCADENZE><CAPITALE>1\x1b]0;x\x07</CAPITALE></SCADENZE></AFFIDAMENTI>"
              "</PRATICA></CORVESTRA>");
    const ProgramRun o = crvxml("import " + root() + "controlli.xml");
    EXPECT_EQ(o.status, 1);
    for (const std::string* text : {&o.out, &o.err}) {
        for (const char c : *text)
            EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t') << int(c) << " in " << *text;
        EXPECT_EQ(text->find("\xc2\x9b"), std::string::npos);
    }
    EXPECT_NE(o.out.find("A [2JB C"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("x y z"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("\"1 ]0;x \""), std::string::npos) << o.err;
}

TEST_F(ImportCommand, AProgramNameWithRoveStartsInTextMode)
{
    TempDir bin;
    const auto link = bin / "crvxml-ROVE";
    std::filesystem::create_symlink(CRVXML_BINARY, link);
    suite.addImportFile("banca/GM_XML");
    const ProgramRun o = crvxml("import " + root() + "--bank GM_XML", link.string());
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Pratiche importate: 2"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(suite.paths().importDir() / "GM_XML.xml"));
    // Under its own name, the same file is loaded as it stands and is not XML.
    const ProgramRun plain = crvxml("import " + root() + "GM_XML");
    EXPECT_EQ(plain.status, 1);
}

}  // namespace
}  // namespace crv::test
