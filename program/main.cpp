// crvxml: the import module of the case-management suite. Without a command
// it opens the operator's window; with one it runs the command line.
#include <cstdio>
#include <vector>

#include "cli/commands.h"
#include "cli/start_choice.h"
#include "window/window_main.h"

int main(int argc, char** argv)
{
    crv::cli::StartChoice start = crv::cli::chooseStart(argc, argv);
    if (start.problem) {
        std::fprintf(stderr, "%s\n", start.problem->c_str());
        return 2;
    }
    if (start.window)
        return crv::window::avviaFinestra(argc, argv, crv::cli::suitePathsFor(start.options),
                                          crv::cli::regionalFor(start.options));
    std::vector<char*> args;
    for (std::string& a : start.commandLine) args.push_back(a.data());
    args.push_back(nullptr);
    return crv::cli::run(static_cast<int>(start.commandLine.size()), args.data());
}
