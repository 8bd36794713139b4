// crvxml import as a scheduler or an operator runs it: options, defaults from
// the saved settings, exit status, standard output and standard error.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <utility>

#include <unistd.h>

#include "app/registro.h"
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
    // Its counters read like an import's: the last line tells them apart.
    EXPECT_TRUE(o.out.ends_with("Spe: 1.000.020,00\nProva: l'archivio non è stato modificato\n")) << o.out;
}

TEST_F(ImportCommand, ARunThatCannotStartPrintsNoListingNorCounters)
{
    const std::string missing = (suite.paths().importDir() / "nessuno.xml").string();
    const std::tuple<std::string, std::string> cases[] = {
        {"nessuno.xml", "Scegliere il file da importare\nFile non trovato: " + missing + "\n"},
        {"--mandato '' " + file, "Inserire Codice Mandato\n"},
        {"--intervento '' " + file, "Inserire Tipo Intervento\n"},
        {"--no-solo-test nessuno.xml", "Scegliere il file da importare\nFile non trovato: " + missing + "\n"},
    };
    for (const auto& [args, message] : cases) {
        const ProgramRun o = crvxml("import " + root() + args);
        EXPECT_EQ(o.status, 1) << args;
        EXPECT_EQ(o.out, "") << args;
        EXPECT_TRUE(o.err.ends_with(message)) << args << "\n" << o.err;
    }
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

TEST_F(ImportCommand, ItalianAndEnglishOptionNamesGiveTheSameRun)
{
    const std::string rootDir = shellWord(suite.paths().root.string());
    const std::pair<std::string, std::string> names[] = {
        {"--root " + rootDir + " --no-details --sections 111110", "--radice " + rootDir + " --no-dettagli --sezioni=111110"},
        {"--root=" + rootDir + " --details --test", "--radice=" + rootDir + " --dettagli --solo-test"},
        {"--root " + rootDir + " --bank", "--radice " + rootDir + " --banca"},
    };
    // Each run starts from the same folder: a repaired copy left by the first
    // would be reported as replaced by the second.
    const auto fresh = [&](const std::string& options) {
        std::filesystem::remove(suite.paths().importDir() / (file + ".xml"));
        return crvxml("import " + options + " " + file);
    };
    for (const auto& [english, italian] : names) {
        const ProgramRun a = fresh(english);
        const ProgramRun b = fresh(italian);
        EXPECT_EQ(std::tie(a.status, a.out, a.err), std::tie(b.status, b.out, b.err)) << italian;
    }
    // The help names the Italian ones; the English ones only in its closing lines.
    const ProgramRun help = crvxml("import --aiuto");
    ASSERT_EQ(help.status, 0);
    const std::size_t closing = help.out.find("Valgono ancora i nomi inglesi: --root = --radice");
    ASSERT_NE(closing, std::string::npos) << help.out;
    const std::string body = help.out.substr(0, closing);
    for (const char* italian : {"--radice", "--banca", "--testo", "--sezioni", "--dettagli", "--no-solo-test"})
        EXPECT_NE(body.find(italian), std::string::npos) << italian;
    for (const char* english : {"--root", "--bank", "--text", "--sections", "--details", "--test ", "--help"})
        EXPECT_EQ(body.find(english), std::string::npos) << english;
}

TEST_F(ImportCommand, APathIsReadAsGivenABareNameInTheImportFolder)
{
    const auto inImport = suite.paths().importDir() / file;
    std::filesystem::create_directories(suite.paths().importDir() / "sub");
    std::filesystem::copy_file(inImport, suite.paths().importDir() / "sub" / "altro.xml");
    // What tab completion gives from the current folder, and a folder of import/.
    const std::string relative = std::filesystem::relative(inImport).string();
    for (const std::string& name : {file, inImport.string(), relative, "./" + relative, std::string("sub/altro.xml")}) {
        const ProgramRun o = crvxml("import " + root() + shellWord(name));
        EXPECT_EQ(o.status, 0) << name << "\n" << o.err;
        EXPECT_NE(o.out.find("Pratiche importate: 3\n"), std::string::npos) << name;
    }
    const ProgramRun missing = crvxml("import " + root() + "altrove/nessuno.xml");
    EXPECT_EQ(missing.err, "Scegliere il file da importare\nFile non trovato: " +
                               (std::filesystem::current_path() / "altrove/nessuno.xml").string() + "\n");
}

TEST_F(ImportCommand, MessagesSayWhyAndWhatToDo)
{
    // Amounts with a decimal comma under English settings: the form expected, and the way out.
    const ProgramRun en = runCrvxmlShell("import " + root() + file, "en_US.UTF-8");
    EXPECT_EQ(en.status, 1);
    EXPECT_NE(en.err.find("\"3,50\": importo non numerico; forma attesa 1234.56 o 1,234.56\n"), std::string::npos)
        << en.err;
    EXPECT_TRUE(en.err.ends_with("\nSe gli importi del file hanno la virgola decimale (3,50), importarlo con "
                                 "--locale it_IT\n"))
        << en.err;
    EXPECT_EQ(runCrvxmlShell("import " + root() + "--locale it_IT " + file, "en_US.UTF-8").status, 0);

    // A file the operator may not read: root reads every file, so there the
    // program runs as another user.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot && !std::filesystem::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "running as root without /usr/bin/setpriv: no user for whom the file is unreadable";
    const auto path = suite.paths().importDir() / file;
    std::filesystem::permissions(path, std::filesystem::perms::none);
    // The suite's register is one that user may append to, as on a shared suite.
    writeFile(fileRegistro(suite.paths()), "");
    std::filesystem::permissions(fileRegistro(suite.paths()), std::filesystem::perms::owner_read |
                                                                  std::filesystem::perms::owner_write |
                                                                  std::filesystem::perms::group_read |
                                                                  std::filesystem::perms::group_write |
                                                                  std::filesystem::perms::others_read |
                                                                  std::filesystem::perms::others_write);
    const std::string command = "import " + root() + file;
    const ProgramRun unreadable =
        asRoot ? runCrvxmlShell("--reuid=65534 --regid=65534 --clear-groups " + shellWord(CRVXML_BINARY) + " " +
                                    command,
                                "it_IT.UTF-8", "/usr/bin/setpriv")
               : crvxml(command);
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.err, "Errore nel file " + path.string() + "\nImpossibile leggere il file: permesso negato\n");
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
    EXPECT_EQ(o.out.find("Prova"), std::string::npos) << "not a test run: " << o.out;
    const ProgramRun access = crvxml("import " + root() + "--no-test --access " + file);
    EXPECT_EQ(access.status, 1);
    EXPECT_NE(access.err.find("Archivio Access NON trovato. Il programma termina"), std::string::npos) << access.err;
    EXPECT_TRUE(access.err.ends_with("\nManca l'archivio locale " + suite.paths().accessDb().string() +
                                     ": si crea con \"crvxml init-db --radice " + suite.paths().root.string() +
                                     " --access\"\n"))
        << access.err;
}

TEST_F(ImportCommand, ControlCharactersOfTheFileReachTheTerminalAsBlanks)
{
    // C1 controls (CSI, ST, OSC) and a lone CR in the listing line and the
    // memo lines of a case, and in the message of the next case's bad amount;
    // tabs and line breaks of the program stay. (ESC and BEL themselves make a
    // file that is not well-formed: its fault's line is shown, blanked.)
    writeFile(suite.paths().importDir() / "controlli.xml",
              "<CORVESTRA><PRATICA><CLIENTE><NOME>A\xc2\x9b[2JB\xc2\x9c" "C</NOME><NOTE>x\xc2\x9by\rz</NOTE></CLIENTE></PRATICA>"
              "<PRATICA><AFFIDAMENTI><SCADENZE><CAPITALE>1\xc2\x9d]0;x\xc2\x9c</CAPITALE></SCADENZE></AFFIDAMENTI>"
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
    // A Corvestra export: its cases without a root element.
    const std::string bytes =
        "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>E-1</CODICE_PRATICA></DATI_IDENTIFICATIVI></PRATICA>\r\n"
        "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>E-2</CODICE_PRATICA></DATI_IDENTIFICATIVI></PRATICA>\r\n";
    writeFile(suite.paths().importDir() / "ESPORT.TXT", bytes);
    const ProgramRun o = crvxml("import " + root() + "ESPORT.TXT", link.string());
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Pratiche importate: 2"), std::string::npos) << o.out;
    // Under its own name, the same file is loaded as it stands and is not XML.
    const ProgramRun plain = crvxml("import " + root() + "ESPORT.TXT");
    EXPECT_EQ(plain.status, 1);
    EXPECT_NE(plain.err.find("è consentito un solo elemento radice"), std::string::npos) << plain.err;
    // --testo reads the bank format's export: it names what reads this one.
    const ProgramRun bank = crvxml("import " + root() + "--testo ESPORT.TXT");
    EXPECT_EQ(bank.status, 1);
    EXPECT_NE(bank.err.find("Il file contiene 2 elementi PRATICA (formato Corvestra) senza elemento radice: "
                            "nessun pulsante lo legge; da riga di comando lo legge il programma con un nome che "
                            "contiene \"rove\" (crvrove), senza --banca e --testo."),
              std::string::npos)
        << bank.err;
    // No run changed the delivery or left a file beside it.
    EXPECT_EQ(readFile(suite.paths().importDir() / "ESPORT.TXT"), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(suite.paths().importDir()),
                            std::filesystem::directory_iterator()),
              2);
}

}  // namespace
}  // namespace crv::test
