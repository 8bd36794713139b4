#include "cli/ctrl_c.h"

#include <chrono>

#include <pthread.h>
#include <unistd.h>

namespace crv::cli {
namespace {

sigset_t interrupt()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

CtrlC::CtrlC()
{
    // Blocked here and in every thread started from now on: the waiter takes
    // the signal with sigwait, outside any signal handler, where cancelling
    // a statement is allowed.
    const sigset_t set = interrupt();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    waiter_ = std::thread([this, set] {
        using Clock = std::chrono::steady_clock;
        Clock::time_point first;
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            if (closing_) return;
            if (!pressed_.exchange(true)) {
                first = Clock::now();
                scope_.cancel();
            } else if (Clock::now() - first >= std::chrono::seconds(1)) {
                // A second press, not the same one reaching the process twice
                // (through its process group as well, as `timeout` sends it).
                _exit(130);
            }
        }
    });
}

CtrlC::~CtrlC()
{
    closing_ = true;
    pthread_kill(waiter_.native_handle(), SIGINT);
    waiter_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace crv::cli
