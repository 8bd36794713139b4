#pragma once
// Ctrl-C on the command line stops a run as Interrompi does in the window:
// the statement that waits (for a table another session holds) is cancelled
// on the server, the run rolls back and ends with its message, nothing
// written. SIGTERM (kill, a stopped service) and SIGHUP (a closed terminal)
// stop it the same way, and the run still leaves its register line. A second
// one ends the program at once (as the signal does: 130 after Ctrl-C).
#include <atomic>

#include "db/statement_cancel.h"
#include "files/stop_signals.h"

namespace crv::cli {

class CtrlC {
public:
    // From now on the signals go to a thread of this object; the connections
    // the calling thread opens meanwhile can be cancelled.
    CtrlC();

    bool pressed() const { return pressed_; }

private:
    db::CancelScope scope_;
    db::CancelScope::Inside inside_{scope_};
    std::atomic<bool> pressed_{false};
    StopSignals signals_;  // last: its thread ends before the state it uses goes
};

}  // namespace crv::cli
