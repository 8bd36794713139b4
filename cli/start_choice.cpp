#include "cli/start_choice.h"

#include <algorithm>

namespace crv::cli {

StartChoice chooseStart(int argc, char** argv)
{
    StartChoice choice;
    const std::string program = argc > 0 ? argv[0] : "crvxml";
    Args args(argv + std::min(argc, 1), argv + argc);
    if (args.empty()) {
        choice.window = true;
        return choice;
    }
    const std::string& first = args.front();
    const bool optionFirst =
        first.rfind("--radice", 0) == 0 || first.rfind("--root", 0) == 0 || first.rfind("--locale", 0) == 0;
    if (!optionFirst) {
        choice.commandLine.push_back(program);
        choice.commandLine.insert(choice.commandLine.end(), args.begin(), args.end());
        return choice;
    }
    if (auto problem = takeCommonOptions(args, choice.options)) {
        choice.problem = std::move(problem);
        return choice;
    }
    if (args.empty()) {
        choice.window = true;
        return choice;
    }
    choice.commandLine = {program, args.front()};
    if (!choice.options.root.empty()) choice.commandLine.push_back("--radice=" + choice.options.root);
    if (!choice.options.locale.empty()) choice.commandLine.push_back("--locale=" + choice.options.locale);
    choice.commandLine.insert(choice.commandLine.end(), args.begin() + 1, args.end());
    return choice;
}

}  // namespace crv::cli
