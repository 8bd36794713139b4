#include "window/signal_stop.h"

#include <mutex>
#include <utility>

#include <QMetaObject>

#include "window/main_window.h"

namespace crv::window {
namespace {

std::mutex mutex;              // guards what follows
SignalStop* active = nullptr;  // the one of the program
MainWindow* target = nullptr;
int pending = 0;               // a signal that came while no window followed

// With the mutex held: posted to the window's thread, where the window lives.
void handOver(MainWindow* window, int signal)
{
    QMetaObject::invokeMethod(window, [window, signal] { window->terminaPerSegnale(signal); }, Qt::QueuedConnection);
}

}  // namespace

SignalStop::SignalStop()
    : signals_([](int signal) {
          const std::lock_guard lock(mutex);
          if (target != nullptr)
              handOver(target, signal);
          else
              pending = signal;
      })
{
    const std::lock_guard lock(mutex);
    active = this;
}

SignalStop::~SignalStop()
{
    const std::lock_guard lock(mutex);
    if (active == this) active = nullptr;
    target = nullptr;
}

void SignalStop::segui(MainWindow* window)
{
    const std::lock_guard lock(mutex);
    if (active == nullptr) return;
    target = window;
    if (pending != 0) handOver(window, std::exchange(pending, 0));
}

void SignalStop::lascia(MainWindow* window)
{
    const std::lock_guard lock(mutex);
    if (target != window) return;
    target = nullptr;
    // A window made after this one (a test's next) gets the next signal.
    if (active != nullptr && window->terminataDaSegnale()) active->signals_.rearm();
}

}  // namespace crv::window
