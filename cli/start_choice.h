#pragma once
// How the program was asked to start: without a command it opens the
// window; the common options (--radice, --locale) may still be given, and may
// also come before a command.
#include <optional>
#include <string>
#include <vector>

#include "cli/common_options.h"

namespace crv::cli {

struct StartChoice {
    bool window = false;                  // no command: the window, with `options`
    CommonOptions options;
    std::optional<std::string> problem;   // a usage error in the options before the command
    std::vector<std::string> commandLine; // otherwise the arguments for run(), program name first
};

// Reads the arguments as main() gets them. Common options before a command
// are moved after it ("crvxml --radice R import F" is "crvxml import --radice R F").
StartChoice chooseStart(int argc, char** argv);

}  // namespace crv::cli
