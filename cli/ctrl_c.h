#pragma once
// Ctrl-C on the command line stops a run as Interrompi does in the window:
// the statement that waits (for a table another session holds) is cancelled
// on the server, the run rolls back and ends with its message, nothing
// written. A second Ctrl-C ends the program at once (status 130).
#include <atomic>
#include <csignal>
#include <thread>

#include "db/statement_cancel.h"

namespace crv::cli {

class CtrlC {
public:
    // From now on SIGINT goes to a thread of this object; the connections the
    // calling thread opens meanwhile can be cancelled.
    CtrlC();
    ~CtrlC();
    CtrlC(const CtrlC&) = delete;
    CtrlC& operator=(const CtrlC&) = delete;

    bool pressed() const { return pressed_; }

private:
    db::CancelScope scope_;
    db::CancelScope::Inside inside_{scope_};
    sigset_t previousMask_{};
    std::atomic<bool> pressed_{false};
    std::atomic<bool> closing_{false};
    std::thread waiter_;
};

}  // namespace crv::cli
