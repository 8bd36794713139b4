#include "files/removed_on_signal.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace crv {
namespace {

constexpr int kSlots = 16;
constexpr std::size_t kPathBytes = 4096;
constexpr std::size_t kPathsPerSlot = 3;

// What a signal handler may read: fixed buffers, published by an atomic
// state (0 free, 1 being filled, 2 watched).
struct Slot {
    std::atomic<int> state{0};
    char paths[kPathsPerSlot][kPathBytes]{};
    bool folder[kPathsPerSlot]{};
    std::size_t count = 0;
};

std::array<Slot, kSlots> slots;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeAndEnd(int signal)
{
    const int saved = errno;
    for (Slot& slot : slots) {
        if (slot.state.load() != 2) continue;
        for (std::size_t i = 0; i < slot.count; ++i) {
            if (slot.folder[i])
                ::rmdir(slot.paths[i]);
            else
                ::unlink(slot.paths[i]);
        }
    }
    errno = saved;
    // Ends as the default action would: the caller sees the same signal.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : kSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0) continue;
            // An ignored signal (nohup) or another handler stays as it is.
            if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO)) continue;
            struct sigaction action {};
            action.sa_handler = removeAndEnd;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

}  // namespace

RemovedOnSignal::RemovedOnSignal(const std::vector<std::filesystem::path>& paths)
{
    if (paths.empty() || paths.size() > kPathsPerSlot) return;
    for (const auto& path : paths) {
        if (path.native().size() >= kPathBytes) return;
    }
    installOnce();
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
        Slot& slot = slots[i];
        slot.count = paths.size();
        for (std::size_t k = 0; k < paths.size(); ++k) {
            std::strcpy(slot.paths[k], paths[k].c_str());
            std::error_code ec;
            slot.folder[k] = std::filesystem::is_directory(std::filesystem::symlink_status(paths[k], ec));
        }
        slot.state.store(2);
        slot_ = i;
        return;
    }
}

RemovedOnSignal::~RemovedOnSignal()
{
    if (slot_ >= 0) slots[slot_].state.store(0);
}

}  // namespace crv
