// crvxml init-db as the operator runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "app/suite_root.h"
#include "db/database_fixture.h"
#include "db/schema.h"

namespace crv::test {
namespace {

struct Outcome {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Outcome runInitDb(const std::vector<std::string>& args)
{
    std::string command = shellQuoted(CRVXML_BINARY) + " init-db";
    for (const auto& arg : args) command += " " + shellQuoted(arg);
    command += " 2>&1";
    Outcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return outcome;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) outcome.output.append(buffer, n);
    const int status = ::pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class InitDb : public DatabaseTest {};

TEST_P(InitDb, CreatesTheTablesOnceAndRefusesASecondTime)
{
    const std::string root = (temp_ / "radice").string();
    const Outcome first = runInitDb({"--root", root, "--conn", connString_, "--without-optional"});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_NE(first.output.find("Creata la tabella [Tabella Pratiche] con 40 campi"), std::string::npos) << first.output;
    EXPECT_NE(first.output.find("Creata la tabella [notecomuni]"), std::string::npos) << first.output;

    auto database = connect(db::OpenMode::Existing);
    for (const auto& table : db::suiteTables())
        EXPECT_TRUE(database->hasTable(QString::fromUtf8(table.name))) << table.name;
    EXPECT_FALSE(database->table(QStringLiteral("tabella pratiche")).has("provider_id"));

    const Outcome second = runInitDb({"--root", root, "--conn", connString_});
    EXPECT_EQ(second.exitCode, 1) << second.output;
    EXPECT_NE(second.output.find("esiste già"), std::string::npos) << second.output;
}

CRV_INSTANTIATE_FOR_DATABASES(InitDb);

TEST(InitDbCommand, UsageErrorsAndASettingsFileWithoutItsKey)
{
    EXPECT_EQ(runInitDb({"--sconosciuto"}).exitCode, 2);
    EXPECT_EQ(runInitDb({"--conn"}).exitCode, 2);
    EXPECT_EQ(runInitDb({"--access", "--conn", "x.sqlite"}).exitCode, 2);
    EXPECT_EQ(runInitDb({"--help"}).exitCode, 0);

    TempDir root;
    std::filesystem::create_directories(root / "dati");
    writeFile(root / "dati" / "vex32.ini", "altro=1\r\n");
    const Outcome noKey = runInitDb({"--root", root.path().string()});
    EXPECT_EQ(noKey.exitCode, 1);
    EXPECT_NE(noKey.output.find("connstring="), std::string::npos) << noKey.output;
    EXPECT_EQ(readFile(root / "dati" / "vex32.ini"), "altro=1\r\n");

    const Outcome badString =
        runInitDb({"--root", root.path().string(), "--conn", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vex.mdb"});
    EXPECT_EQ(badString.exitCode, 1);
    EXPECT_NE(badString.output.find("Provider non supportato"), std::string::npos) << badString.output;
}

// A suite root made from whatever part of it is there: the folders that are
// missing, the local archive, and a vex32.ini naming it unless there is one.
TEST(InitDbCommand, MakesASuiteRootFromWhatIsMissing)
{
    struct Case {
        const char* name;
        std::vector<std::string> present;   // folders below the scratch folder made first
        std::string vex32Ini;               // written first when not empty
        std::vector<std::string> options;   // besides --root
        std::vector<std::string> made;      // "Creata la cartella" lines, below the scratch folder
        bool archive;                       // dati/vex.sqlite made, and named by vex32.ini
        std::string otherDb;                // a database file of the scratch folder that gets the tables
    };
    const std::vector<Case> cases = {
        {"nothing, two levels down", {}, "", {}, {"a/radice", "a/radice/import", "a/radice/dati"}, true, ""},
        {"import/ alone", {"a/radice/import"}, "", {}, {"a/radice/dati"}, true, ""},
        {"dati/ alone", {"a/radice/dati"}, "", {}, {"a/radice/import"}, true, ""},
        {"--access", {}, "", {"--access"}, {"a/radice", "a/radice/import", "a/radice/dati"}, true, ""},
        {"--access, dati/ there", {"a/radice/dati"}, "", {"--access"}, {"a/radice/import"}, true, ""},
        {"a settings file of the suite", {"a/radice/import"}, "connstring=Provider=SQLite;Data Source=@/suite.sqlite\r\n",
         {}, {}, false, "suite.sqlite"},
        {"--connessione", {}, "", {"--conn", "Provider=SQLite;Data Source=@/altro.sqlite"},
         {"a/radice", "a/radice/import", "a/radice/dati"}, false, "altro.sqlite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir scratch;
        const auto here = [&](std::string text) {
            for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, scratch.path().string());
            return text;
        };
        for (const std::string& folder : c.present) std::filesystem::create_directories(scratch / folder);
        SuitePaths paths;
        paths.root = scratch / "a/radice";
        if (!c.vex32Ini.empty()) {
            std::filesystem::create_directories(paths.dataDir());
            writeFile(paths.vex32Ini(), here(c.vex32Ini));
        }
        std::vector<std::string> args = {"--root", paths.root.string()};
        for (const std::string& option : c.options) args.push_back(here(option));

        const Outcome made = runInitDb(args);
        ASSERT_EQ(made.exitCode, 0) << made.output;
        std::string expected;
        for (const std::string& folder : c.made) expected += "Creata la cartella " + (scratch / folder).string() + "\n";
        EXPECT_TRUE(made.output.starts_with(expected)) << made.output;
        EXPECT_NE(made.output.find("Tabelle create: 4\n"), std::string::npos) << made.output;
        for (const std::filesystem::path& folder : {paths.importDir(), paths.dataDir()})
            EXPECT_TRUE(std::filesystem::is_directory(folder)) << folder;
        EXPECT_EQ(std::filesystem::exists(paths.accessDb()), c.archive);
        if (!c.otherDb.empty()) {
            EXPECT_TRUE(std::filesystem::exists(scratch / c.otherDb));
        }

        const std::string namesArchive = "connstring=Provider=SQLite;Data Source=" + paths.accessDb().string() + "\r\n";
        if (!c.vex32Ini.empty()) {
            EXPECT_EQ(readFile(paths.vex32Ini()), here(c.vex32Ini));   // never changed
        } else if (c.archive) {
            EXPECT_EQ(readFile(paths.vex32Ini()), namesArchive);
            EXPECT_NE(made.output.find("Creato " + paths.vex32Ini().string() + ": connstring="), std::string::npos)
                << made.output;
        } else {
            EXPECT_FALSE(std::filesystem::exists(paths.vex32Ini()));
            EXPECT_NE(made.output.find("manca: per usare questo database"), std::string::npos) << made.output;
        }
    }
}

// The root init-db made is one the program works in as it is.
TEST(InitDbCommand, ARootMadeFromNothingTakesANormalImport)
{
    TempDir scratch;
    const std::string root = (scratch / "vex32").string();
    ASSERT_EQ(runInitDb({"--radice", root}).exitCode, 0);
    std::filesystem::copy_file(dataFile("corvestra/completo.xml"), scratch / "vex32/import/completo.xml");
    const ProgramRun run = runCrvxml({"import", "--radice", root, "--no-solo-test", "--locale", "it_IT", "completo.xml"},
                                     "C.UTF-8");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.starts_with("Database: Provider=SQLite;Data Source=" + root + "/dati/vex.sqlite\n")) << run.err;
    EXPECT_NE(run.out.find("\nPratiche importate: 3\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace crv::test
