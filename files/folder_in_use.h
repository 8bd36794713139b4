#pragma once
// Scratch folders that tell whether their owner is still there. A scratch
// folder goes with its owner however it ends, except by a kill nothing can
// catch (SIGKILL, a crash, a power cut): then it stays behind. Each one
// holds a lock file its owner keeps locked for the folder's whole life; the
// system frees the lock when the owner is gone, however it went, so a later
// run can tell a folder in use from one left behind and remove only the
// latter. The lock is the open file's own (not the process's): it also tells
// apart two folders of one process.
#include <filesystem>
#include <string_view>

namespace crv {

class CartellaInUso {
public:
    // Makes a folder of our own beside `target` (as makeFolderBeside) and
    // locks its lock file. Throws FileError naming the target.
    CartellaInUso(const std::filesystem::path& target, std::string_view suffix);
    // Frees the lock; the folder itself is its owner's to remove.
    ~CartellaInUso();
    CartellaInUso(const CartellaInUso&) = delete;
    CartellaInUso& operator=(const CartellaInUso&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The lock file inside the folder, for a removal on a signal.
    const std::filesystem::path& lockFile() const { return lock_; }

private:
    std::filesystem::path path_;
    std::filesystem::path lock_;
    int fd_ = -1;
};

// The lock file's name inside each folder.
inline constexpr const char* kFileDiBlocco = ".in-uso";

// Removes from `folder` the scratch folders made with `suffix` (for any
// target) whose owner is gone. Folders in use, another user's, links and
// anything not named as a scratch folder stay. Returns how many went.
int rimuoviCartelleAbbandonate(const std::filesystem::path& folder, std::string_view suffix);

}  // namespace crv
