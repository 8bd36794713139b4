#include "app/suite_root.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "files/whole_file.h"

namespace fs = std::filesystem;
using crv::resolveSuitePaths;

namespace {

// Sets or clears an environment variable for the length of a test and puts
// back what was there before.
class EnvVar {
public:
    explicit EnvVar(std::string name) : name_(std::move(name))
    {
        if (const char* value = std::getenv(name_.c_str())) saved_ = value;
    }
    ~EnvVar() { saved_ ? set(*saved_) : unset(); }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

    void set(const std::string& value)
    {
#ifdef _WIN32
        _putenv_s(name_.c_str(), value.c_str());
#else
        setenv(name_.c_str(), value.c_str(), 1);
#endif
    }
    void unset()
    {
#ifdef _WIN32
        _putenv_s(name_.c_str(), "");
#else
        unsetenv(name_.c_str());
#endif
    }

private:
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace

TEST(SuiteRoot, OptionThenEnvironmentThenDefault)
{
    EnvVar root("VEX32_ROOT");
    EnvVar home("HOME");

    root.set("/srv/da-ambiente");
    EXPECT_EQ(resolveSuitePaths("/srv/da-opzione").root, fs::path("/srv/da-opzione"));
    EXPECT_EQ(resolveSuitePaths("").root, fs::path("/srv/da-ambiente"));

    root.set("");  // an empty variable counts as not set
    home.set("/home/operatore");
#ifdef _WIN32
    const fs::path expected("Z:\\work\\vex32");
#else
    const fs::path expected("/home/operatore/vex32");
#endif
    EXPECT_EQ(resolveSuitePaths("").root, expected);
    root.unset();
    EXPECT_EQ(resolveSuitePaths("").root, expected);
}

// The root in the suggested command reads back as one word in a shell.
TEST(SuiteRoot, RootInTheSuggestedCommandIsOneShellWord)
{
    const struct {
        const char* path;
        const char* word;
    } cases[] = {
        {"/home/operatore/vex32", "/home/operatore/vex32"},
        {"/srv/suite pratiche", "'/srv/suite pratiche'"},
        {"/srv/l'agenzia;rm -rf", "'/srv/l'\\''agenzia;rm -rf'"},
        {"", "''"},
    };
    for (const auto& c : cases) EXPECT_EQ(crv::percorsoPerShell(c.path), c.word) << c.path;
}

// A root that cannot be made is named with the system's reason; nothing
// is made below it.
TEST(SuiteRoot, AFolderThatCannotBeMadeIsNamed)
{
    const fs::path scratch = fs::temp_directory_path() / ("crvxml-radice-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    { std::ofstream(scratch / "file") << "x"; }
    crv::SuitePaths paths{scratch / "file" / "vex32"};
    try {
        crv::creaCartelleSuite(paths);
        ADD_FAILURE() << "nessun errore";
    } catch (const crv::FileError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Impossibile creare la cartella " + paths.root.string() + ": ", 0), 0u)
            << error.what();
    }
    EXPECT_EQ(crv::creaCartelleSuite(crv::SuitePaths{scratch / "nuova"}),
              (std::vector<fs::path>{scratch / "nuova", scratch / "nuova" / "import", scratch / "nuova" / "dati"}));
    EXPECT_TRUE(crv::creaCartelleSuite(crv::SuitePaths{scratch / "nuova"}).empty());
    fs::remove_all(scratch);
}
