#include "app/suite_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

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
