#pragma once
// The options every command takes: where the suite is (--radice DIR) and
// which regional settings amounts and dates follow (--locale NAME).
#include <cstddef>
#include <optional>
#include <string>

#include "app/suite_root.h"
#include "cli/commands.h"
#include "cli/option_names.h"
#include "numbers/regional.h"

namespace crv::cli {

struct CommonOptions {
    std::string root;     // --radice; empty: VEX32_ROOT, then the default root
    std::string locale;   // --locale; empty: the system locale
};

// The help lines of the common options, to be put in each command's help.
extern const char* const kCommonOptionsHelp;

// Takes "--radice DIR" / "--radice=DIR" (or --root) and "--locale NAME" /
// "--locale=NAME" out of args (the other arguments keep their order). Returns the text of
// a usage error (a missing value, a locale Qt does not know) or nothing.
std::optional<std::string> takeCommonOptions(Args& args, CommonOptions& out);

// Matches "--name VALUE" or "--name=VALUE" at args[i] and erases what it
// took. Returns 0 when args[i] is not the option, 1 when taken, -1 when the
// value is missing.
int takeOptionValue(Args& args, std::size_t i, const std::string& name, std::string& value);

// Whether the arguments ask for the command's help: "--aiuto", "--help" or
// "-h" anywhere before a "--" (after it every argument is a name).
bool asksForHelp(const Args& args);

// Prints a usage problem of `command` and where its help is, to standard
// error; returns the exit status of wrong usage (2).
int usageError(const std::string& command, const std::string& problem);

// The start every command shares: its help when asked (printed to standard
// output with the English names of `sinonimi` that still work, status 0),
// then those names made Italian and the common options taken out of args (a
// usage error, status 2). Returns the exit status when the command ends there.
std::optional<int> startCommand(const std::string& command, const std::string& help, Args& args,
                                CommonOptions& common, std::initializer_list<Sinonimi> sinonimi = {});

// What follows "Archivio Access NON trovato" on the command line: the file
// looked for and the command that creates it.
std::string archivioAccessMancante(const SuitePaths& paths);

// The suite's folders and the regional settings the options ask for.
SuitePaths suitePathsFor(const CommonOptions& options);
Regional regionalFor(const CommonOptions& options);

}  // namespace crv::cli
