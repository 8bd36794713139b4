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
    const Outcome first = runInitDb({"--conn", connString_, "--without-optional"});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_NE(first.output.find("Creata la tabella [Tabella Pratiche] con 40 campi"), std::string::npos) << first.output;
    EXPECT_NE(first.output.find("Creata la tabella [notecomuni]"), std::string::npos) << first.output;

    auto database = connect(db::OpenMode::Existing);
    for (const auto& table : db::suiteTables())
        EXPECT_TRUE(database->hasTable(QString::fromUtf8(table.name))) << table.name;
    EXPECT_FALSE(database->table(QStringLiteral("tabella pratiche")).has("provider_id"));

    const Outcome second = runInitDb({"--conn", connString_});
    EXPECT_EQ(second.exitCode, 1) << second.output;
    EXPECT_NE(second.output.find("esiste già"), std::string::npos) << second.output;
}

CRV_INSTANTIATE_FOR_DATABASES(InitDb);

TEST(InitDbCommand, AccessCreatesTheLocalArchiveUnderTheRoot)
{
    TempDir root;
    std::filesystem::create_directories(root / "dati");
    const Outcome outcome = runInitDb({"--root", root.path().string(), "--access"});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
    SuitePaths paths;
    paths.root = root.path();
    EXPECT_TRUE(std::filesystem::exists(paths.accessDb()));
    EXPECT_NE(outcome.output.find("Tabelle create: 4"), std::string::npos) << outcome.output;
}

TEST(InitDbCommand, UsageErrorsAndMissingSettings)
{
    EXPECT_EQ(runInitDb({"--sconosciuto"}).exitCode, 2);
    EXPECT_EQ(runInitDb({"--conn"}).exitCode, 2);
    EXPECT_EQ(runInitDb({"--access", "--conn", "x.sqlite"}).exitCode, 2);
    EXPECT_EQ(runInitDb({"--help"}).exitCode, 0);

    TempDir root;
    const Outcome noSettings = runInitDb({"--root", root.path().string()});
    EXPECT_EQ(noSettings.exitCode, 1);
    EXPECT_NE(noSettings.output.find("connstring="), std::string::npos) << noSettings.output;

    const Outcome badString = runInitDb({"--conn", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vex.mdb"});
    EXPECT_EQ(badString.exitCode, 1);
    EXPECT_NE(badString.output.find("Provider non supportato"), std::string::npos) << badString.output;
}

}  // namespace
}  // namespace crv::test
