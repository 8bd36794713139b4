#pragma once
// The subcommands of the crvxml program. Each takes the arguments after its
// own name and returns the process exit status.
#include <string>
#include <vector>

namespace crv::cli {

using Args = std::vector<std::string>;

int importCommand(const Args& args);
int initDbCommand(const Args& args);

}  // namespace crv::cli
