#pragma once
// Helpers shared by the test programs: scratch folders, sample paths and
// the PostgreSQL server that scripts/test starts for the run.
#include <filesystem>
#include <string>
#include <vector>

namespace crv::test {

// A fresh folder under the system temp dir, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Path of a file under tests/data.
std::filesystem::path dataFile(const std::string& relative);

// Whole file as bytes.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// Connection string of the test PostgreSQL server (env CRVXML_TEST_PG), or
// empty when none runs. When CRVXML_REQUIRE_PG is set, a missing server is a
// failure instead of a skip: CI must never skip the PostgreSQL tests.
std::string postgresConnString();
bool postgresRequired();

// What one run of the crvxml program gave.
struct ProgramRun {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

// The text quoted for the shell, as one word.
std::string shellWord(const std::string& text);

// Runs the program (the built crvxml unless named) with these arguments, each
// one word, under a locale: LANG=locale with every LC_* variable removed, or
// no locale variable at all when locale is empty.
ProgramRun runCrvxml(const std::vector<std::string>& args, const std::string& locale,
                     const std::string& program = CRVXML_BINARY);
// The same with the arguments already written for the shell (quoted as
// needed, shellWord), as a scheduler's command line holds them.
ProgramRun runCrvxmlShell(const std::string& shellArgs, const std::string& locale,
                          const std::string& program = CRVXML_BINARY);

// ODBC connection strings through Debian's drivers, as an operator writes
// them in vex32.ini: to an SQLite file, and to the database of a PostgreSQL
// connection string (`schema`, when given, first in the search path).
std::string sqliteOdbcConnString(const std::filesystem::path& file);
std::string postgresOdbcConnString(const std::string& server, const std::string& schema = {});

}  // namespace crv::test
