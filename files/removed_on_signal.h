#pragma once
// Scratch files and folders that go with the program when it is ended by a
// signal (Ctrl-C, kill, a closed terminal) while they exist: a stopped
// export or save leaves nothing behind where it can be removed. Only a
// signal whose action is still the default one is watched; the program then
// ends by that signal as it would have.
#include <filesystem>
#include <vector>

namespace crv {

class RemovedOnSignal {
public:
    // `paths` are removed in this order on SIGINT, SIGTERM or SIGHUP: a
    // folder after the files inside it. At most a few guards at once; a
    // guard that finds no free place watches nothing.
    explicit RemovedOnSignal(const std::vector<std::filesystem::path>& paths);
    ~RemovedOnSignal();
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

private:
    int slot_ = -1;
};

}  // namespace crv
