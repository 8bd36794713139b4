#pragma once
// The signals that ask the program to end (SIGTERM: a stopped service or a
// session logging out; SIGHUP: the terminal that started the window closed;
// SIGINT: Ctrl-C there) end the window as closing it during a run does:
// the run or utility under way stops, rolled back, leaves its register line
// and says nothing in a box nobody is there to read, then the window closes.
// Made before Qt starts its threads, so that none of them is ended where it
// stands by a signal.
#include "files/stop_signals.h"

namespace crv::window {

class MainWindow;

class SignalStop {
public:
    SignalStop();
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // The window that gets the signals (MainWindow::terminaPerSegnale) from
    // now on. A window made while no SignalStop lives gets
    // none. A signal that came first is handed over at once.
    static void segui(MainWindow* window);
    // The window goes: it gets no more.
    static void lascia(MainWindow* window);

private:
    StopSignals signals_;
};

}  // namespace crv::window
