#pragma once
// Lines appended to a file that several programs append to, on this machine
// or on others that share its folder. Each writer locks the whole file
// (fcntl, the lock network file systems hand on to their server: NFS through
// its lock service, SMB as a byte-range lock) before it looks at the file's
// end, and keeps the lock until its line is on the disk, so lines never mix
// and none is written over. Where the file system keeps no locks the line
// is not written: that is said rather than risked.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string_view>

namespace crv {

struct AppendOptions {
    // Written first into a file that is new or empty.
    std::string_view header;
    // How long to wait for a lock another program holds.
    std::chrono::milliseconds maxWait{15000};
    // Called once when the lock has been held by another program for
    // sayAfter, while waiting goes on.
    std::function<void()> onWait;
    std::chrono::milliseconds sayAfter{1000};
};

// Appends `line` (with its own line end) to `file`, created when missing
// with the read and write permissions its folder gives. A symbolic link in
// the file's place is not followed: the line would go to another file.
// A file whose last line has no line end (cut short, or saved so by a
// spreadsheet) gets one first. Throws FileError naming the file and the
// reason: the folder, the disk, a lock held longer than maxWait, a file
// system without locks.
void appendLocked(const std::filesystem::path& file, std::string_view line, const AppendOptions& options = {});

}  // namespace crv
