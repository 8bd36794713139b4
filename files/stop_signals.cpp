#include "files/stop_signals.h"

#include <chrono>

#include <pthread.h>
#include <unistd.h>

namespace crv {
namespace {

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    return set;
}

// Ends the program by `signal` as its own action would: the handler of
// RemovedOnSignal when one is set, else the default one.
[[noreturn]] void endBy(int signal)
{
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    std::raise(signal);
    // Ignored (nohup): the program still goes, with the shell's status for it.
    _exit(128 + signal);
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onFirst) : onFirst_(std::move(onFirst))
{
    // Blocked here and in every thread started from now on: the waiter takes
    // the signals with sigwait.
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    waiter_ = std::thread([this, set] {
        using Clock = std::chrono::steady_clock;
        Clock::time_point first;
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            if (closing_) return;
            if (received_ == 0) {
                received_ = signal;
                first = Clock::now();
                if (onFirst_) onFirst_(signal);
            } else if (Clock::now() - first >= std::chrono::seconds(1)) {
                // A second request, not the same one reaching the process
                // twice (through its process group as well, as `timeout`
                // and a terminal send it).
                endBy(signal);
            }
        }
    });
}

StopSignals::~StopSignals()
{
    closing_ = true;
    pthread_kill(waiter_.native_handle(), SIGINT);
    waiter_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

const char* StopSignals::nome(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT (Ctrl-C)";
    case SIGTERM: return "SIGTERM (richiesta di terminare)";
    case SIGHUP: return "SIGHUP (terminale chiuso)";
    default: return "segnale";
    }
}

}  // namespace crv
