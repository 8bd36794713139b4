#pragma once
// A program run in the background while the test goes on, its output read as
// it comes: the test waits for a line the program prints (a run that waits
// for a lock says so) before it releases what the program waits for, or
// interrupts it. Races between real processes are made deterministic this
// way, never by sleeping.
#include <chrono>
#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

#include "support/test_support.h"

namespace crv::test {

class BackgroundRun {
public:
    // Starts the program (the built crvxml unless named) with these
    // arguments, under LANG=locale with every LC_* variable removed.
    explicit BackgroundRun(const std::vector<std::string>& args, const std::string& locale = "C.UTF-8",
                           const std::string& program = CRVXML_BINARY);
    // A program still running is killed.
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    // Reads until standard error holds `text`; false when the program closed
    // it first or `patience` ran out (a safety net, not a timing).
    bool waitForErr(const std::string& text, std::chrono::seconds patience = std::chrono::seconds(120));
    // Waits until the program takes `signal` in hand rather than dying of it
    // (it blocks the signal, to take it on a thread of its own: SigBlk of
    // /proc/PID/status); false when it ended first or `patience` ran out.
    bool waitUntilItHandles(int signal, std::chrono::seconds patience = std::chrono::seconds(120));
    // Sends `signal`: SIGINT as Ctrl-C does, SIGTERM as kill, SIGHUP as a
    // closed terminal.
    void interrupt(int signal = SIGINT);
    // Whether the program has ended, without waiting; reads what it has
    // written so far (a test that waits on something else calls it now and
    // then, so the program never blocks on a full pipe).
    bool ended();
    // Waits for the end and gives the whole output and the exit status.
    ProgramRun finish();
    pid_t pid() const { return pid_; }

private:
    // Reads what is there, waiting at most `wait` for something; false when
    // both outputs are closed.
    bool readSome(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
    bool reaped_ = false;
    ProgramRun run_;
};

}  // namespace crv::test
