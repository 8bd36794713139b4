#pragma once
// The signals that ask a program to stop (SIGINT: Ctrl-C; SIGTERM: kill, a
// stopped service; SIGHUP: a closed terminal) taken by a thread of this
// object instead of ending the program where it stands: the run under way
// then stops as Interrompi stops it, rolled back, and leaves its line in the
// register. A second signal, a second or more after the first, ends the
// program as that signal would have (scratch files watched by
// RemovedOnSignal go with it).
#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace crv {

class StopSignals {
public:
    // From now on the three signals are blocked in the calling thread and in
    // every thread it starts: `onFirst` gets the first one, on this object's
    // thread, outside any signal handler (it may cancel a statement, post to
    // a window, write a line).
    explicit StopSignals(std::function<void(int signal)> onFirst);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal received, or 0.
    int received() const { return received_; }
    // What that signal stopped is over and its taker gone: the next signal
    // is a first one again.
    void rearm() { received_ = 0; }

    // "SIGTERM (richiesta di terminare)", for the message that says why a run stopped.
    static const char* nome(int signal);

private:
    std::function<void(int)> onFirst_;
    sigset_t previousMask_{};
    std::atomic<int> received_{0};
    std::atomic<bool> closing_{false};
    std::thread waiter_;
};

}  // namespace crv
