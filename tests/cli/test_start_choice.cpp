// Which start the program's arguments ask for: the window without a
// command, else the command line with the common options after the command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/option_names.h"
#include "cli/start_choice.h"
#include "support/background_run.h"
#include "support/test_support.h"

namespace crv::cli {
namespace {

StartChoice choose(std::vector<std::string> args)
{
    args.insert(args.begin(), "/usr/bin/crvxml");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return chooseStart(static_cast<int>(argv.size()), argv.data());
}

TEST(StartChoice, WindowWithoutACommand)
{
    EXPECT_TRUE(choose({}).window);
    const StartChoice rooted = choose({"--root", "/srv/vex32", "--locale=en_GB"});
    EXPECT_TRUE(rooted.window);
    EXPECT_EQ(rooted.options.root, "/srv/vex32");
    EXPECT_EQ(rooted.options.locale, "en_GB");
}

TEST(StartChoice, CommandsGoToTheCommandLine)
{
    const StartChoice plain = choose({"import", "--test", "a.xml"});
    EXPECT_FALSE(plain.window);
    EXPECT_EQ(plain.commandLine, (std::vector<std::string>{"/usr/bin/crvxml", "import", "--test", "a.xml"}));
    EXPECT_EQ(choose({"--help"}).commandLine, (std::vector<std::string>{"/usr/bin/crvxml", "--help"}));

    // Options before the command are moved after it.
    const StartChoice moved = choose({"--root=/srv/vex32", "import", "a.xml"});
    EXPECT_FALSE(moved.window);
    EXPECT_EQ(moved.commandLine,
              (std::vector<std::string>{"/usr/bin/crvxml", "import", "--radice=/srv/vex32", "a.xml"}));
}

TEST(StartChoice, EnglishOptionNamesBecomeTheItalianOnes)
{
    constexpr Sinonimo group[] = {{"--bank", "--banca"}, {"--out", "--uscita"}};
    const std::pair<Args, Args> cases[] = {
        {{"--bank", "--root", "R", "--help"}, {"--banca", "--radice", "R", "--aiuto"}},
        {{"--out=casi.xlsx", "--root=R"}, {"--uscita=casi.xlsx", "--radice=R"}},
        {{"--banking", "bank", "--banca"}, {"--banking", "bank", "--banca"}},  // whole names only
        {{"a.xml", "--", "--bank"}, {"a.xml", "--", "--bank"}},                // names after "--"
    };
    for (const auto& [given, expected] : cases) {
        Args args = given;
        nomiItaliani(args, {group});
        EXPECT_EQ(args, expected) << given.front();
    }
    // A command's own English names count only there.
    Args elsewhere{"--bank"};
    nomiItaliani(elsewhere);
    EXPECT_EQ(elsewhere, Args{"--bank"});
    EXPECT_TRUE(choose({"--radice", "/srv/vex32"}).window);
}

TEST(StartChoice, BadCommonOptionsAreUsageErrors)
{
    EXPECT_EQ(choose({"--root"}).problem, "Manca il valore di --radice");
    const StartChoice locale = choose({"--locale", "xx_NOWHERE"});
    ASSERT_TRUE(locale.problem);
    EXPECT_FALSE(locale.window);
}

// Removes an environment variable (or sets it to `value`) for the scope of
// the test.
class WithoutVariable {
public:
    explicit WithoutVariable(const char* name, const char* value = nullptr) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~WithoutVariable()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    WithoutVariable(const WithoutVariable&) = delete;
    WithoutVariable& operator=(const WithoutVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(StartChoice, WithoutAScreenTheWindowSaysSoInsteadOfAborting)
{
    const WithoutVariable display("DISPLAY");
    const WithoutVariable wayland("WAYLAND_DISPLAY");
    const WithoutVariable platform("QT_QPA_PLATFORM");
    const test::TempDir root;
    const test::ProgramRun run = test::runCrvxml({"--root", root.path().string()}, "C.UTF-8");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Nessuno schermo grafico (DISPLAY e WAYLAND_DISPLAY non impostate): la finestra non si apre.\n"
                       "I comandi funzionano anche senza schermo: crvxml --aiuto\n");
}

// The window ends on SIGTERM (a session logging out, a stopped service) as
// when it is closed, saying why: the program takes the signal in hand
// before Qt starts, so no thread of Qt's dies of it.
TEST(StartChoice, TheWindowEndsOnASignal)
{
    const test::TempDir root;
    ASSERT_EQ(test::runCrvxml({"init-db", "--root", root.path().string()}, "C.UTF-8").status, 0);
    const WithoutVariable platform("QT_QPA_PLATFORM", "offscreen");
    test::BackgroundRun window({"--root", root.path().string()});
    ASSERT_TRUE(window.waitUntilItHandles(SIGTERM)) << window.finish().err;
    window.interrupt(SIGTERM);
    const test::ProgramRun run = window.finish();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Ricevuto SIGTERM (richiesta di terminare): chiudo la finestra\n"), std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace crv::cli
