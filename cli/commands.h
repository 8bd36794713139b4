#pragma once
// The subcommands of the crvxml program. Each takes the arguments after its
// own name and returns the process exit status.
#include <string>
#include <vector>

namespace crv::cli {

using Args = std::vector<std::string>;

// The whole command line: argv[1] names the command (usage to standard
// error and 2 when it is missing or unknown).
int run(int argc, char** argv);

int importCommand(const Args& args);
int initDbCommand(const Args& args);
int fatturaCommand(const Args& args);

}  // namespace crv::cli
