#include "db/lock_file.h"

#include <cerrno>

#include "db/db_error.h"
#include "files/system_reason.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace crv::db {

#ifdef _WIN32

struct LockFile::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
    ~Handle()
    {
        if (file == INVALID_HANDLE_VALUE) return;
        OVERLAPPED whole{};
        UnlockFileEx(file, 0, 1, 0, &whole);
        CloseHandle(file);
    }
};

std::unique_ptr<LockFile> LockFile::tryTake(const std::filesystem::path& path)
{
    auto handle = std::make_unique<Handle>();
    // Others open it too: only the lock, not the opening, excludes them.
    handle->file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle->file == INVALID_HANDLE_VALUE)
        throw DbError("Impossibile aprire il file di blocco " + path.string(),
                      "errore di sistema " + std::to_string(GetLastError()));
    OVERLAPPED first{};
    if (!LockFileEx(handle->file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first)) {
        if (GetLastError() == ERROR_LOCK_VIOLATION) return nullptr;
        throw DbError("Impossibile bloccare il file " + path.string(),
                      "errore di sistema " + std::to_string(GetLastError()));
    }
    return std::make_unique<LockFile>(std::move(handle));
}

#else

struct LockFile::Handle {
    int fd = -1;
    // Closing the descriptor gives the lock back.
    ~Handle()
    {
        if (fd >= 0) ::close(fd);
    }
};

std::unique_ptr<LockFile> LockFile::tryTake(const std::filesystem::path& path)
{
    auto handle = std::make_unique<Handle>();
    handle->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (handle->fd < 0)
        throw DbError("Impossibile aprire il file di blocco " + path.string(), motivoDiSistema(errno));
    // flock belongs to the open file, not to the process: a second opening
    // in the same program is excluded as another program's is.
    while (::flock(handle->fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return nullptr;
        if (errno != EINTR) throw DbError("Impossibile bloccare il file " + path.string(), motivoDiSistema(errno));
    }
    return std::make_unique<LockFile>(std::move(handle));
}

#endif

LockFile::LockFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

LockFile::~LockFile() = default;

}  // namespace crv::db
