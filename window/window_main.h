#pragma once
// Starting the window: the program's start without a command.
#include <string>

#include "app/suite_root.h"
#include "numbers/regional.h"

namespace crv::window {

// Creates the application, runs the window's start-up and then its event
// loop until the window closes. Returns the program's exit status: 0, or 1
// when the start-up ended the program, there is no screen to open on, or a
// signal (SIGTERM, SIGHUP, SIGINT) stopped a run.
int avviaFinestra(int& argc, char** argv, const SuitePaths& paths, const Regional& regional);

}  // namespace crv::window
