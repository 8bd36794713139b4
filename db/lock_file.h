#pragma once
// A lock on a file that every run on one suite root opens, for a database
// that offers no lock of its own. The operating system holds it for the
// object's life and drops it with the process, so a run that ended badly
// never leaves the archive locked; the file itself stays, empty.
#include <filesystem>
#include <memory>

namespace crv::db {

class LockFile {
public:
    // The lock on `path` (the file is created when missing), or null when
    // another holds it. Throws DbError naming the file when it cannot be
    // opened.
    static std::unique_ptr<LockFile> tryTake(const std::filesystem::path& path);

    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    struct Handle;
    explicit LockFile(std::unique_ptr<Handle> handle);

private:
    std::unique_ptr<Handle> handle_;
};

}  // namespace crv::db
