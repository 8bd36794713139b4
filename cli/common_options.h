#pragma once
// The options every command takes: where the suite is (--root DIR) and which
// regional settings amounts and dates follow (--locale NAME).
#include <cstddef>
#include <optional>
#include <string>

#include "app/suite_root.h"
#include "cli/commands.h"
#include "numbers/regional.h"

namespace crv::cli {

struct CommonOptions {
    std::string root;     // --root; empty: VEX32_ROOT, then the default root
    std::string locale;   // --locale; empty: the system locale
};

// The help lines of the common options, to be put in each command's help.
extern const char* const kCommonOptionsHelp;

// Takes "--root DIR" / "--root=DIR" and "--locale NAME" / "--locale=NAME"
// out of args (the other arguments keep their order). Returns the text of
// a usage error (a missing value, a locale Qt does not know) or nothing.
std::optional<std::string> takeCommonOptions(Args& args, CommonOptions& out);

// Matches "--name VALUE" or "--name=VALUE" at args[i] and erases what it
// took. Returns 0 when args[i] is not the option, 1 when taken, -1 when the
// value is missing.
int takeOptionValue(Args& args, std::size_t i, const std::string& name, std::string& value);

// Whether the arguments ask for the command's help: "--help" or "-h"
// anywhere before a "--" (after it every argument is a name).
bool asksForHelp(const Args& args);

// Prints a usage problem of `command` and where its help is, to standard
// error; returns the exit status of wrong usage (2).
int usageError(const std::string& command, const std::string& problem);

// The start every command shares: its help when asked (printed to standard
// output, status 0), then the common options taken out of args (a usage
// error, status 2). Returns the exit status when the command ends there.
std::optional<int> startCommand(const std::string& command, const std::string& help, Args& args,
                                CommonOptions& common);

// The suite's folders and the regional settings the options ask for.
SuitePaths suitePathsFor(const CommonOptions& options);
Regional regionalFor(const CommonOptions& options);

}  // namespace crv::cli
