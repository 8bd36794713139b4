#include "files/folder_in_use.h"

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/system_reason.h"
#include "files/whole_file.h"

namespace crv {
namespace fs = std::filesystem;

namespace {

constexpr int kAttempts = 100;
constexpr std::size_t kRandomDigits = 16;  // as randomPart() writes them

enum class Blocco { Preso, Occupato, NonDisponibile };

int openLock(const fs::path& file)
{
    int fd;
    do {
        fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Takes the lock without waiting.
Blocco blocca(int fd)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;  // the whole file
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return Blocco::Preso;
    int error = errno;
    // A kernel older than the open file's locks: the whole-file kind, also the file's own.
    if (error == EINVAL) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Blocco::Preso;
        error = errno;
    }
    return error == EAGAIN || error == EACCES || error == EWOULDBLOCK ? Blocco::Occupato : Blocco::NonDisponibile;
}

// Whether `fd` is still the file at `path` (not removed or replaced meanwhile).
bool stessoFile(int fd, const fs::path& path)
{
    struct stat open {}, named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// "." + a name + "." + the random part + `suffix`, as makeFolderBeside names them.
bool nomeDiCartella(const std::string& name, std::string_view suffix)
{
    if (name.size() < 3 + kRandomDigits + suffix.size() || name.front() != '.' || !name.ends_with(suffix))
        return false;
    const std::size_t digits = name.size() - suffix.size() - kRandomDigits;
    if (name[digits - 1] != '.') return false;
    for (std::size_t i = digits; i < digits + kRandomDigits; ++i)
        if (!isHex(name[i])) return false;
    return true;
}

}  // namespace

CartellaInUso::CartellaInUso(const fs::path& target, std::string_view suffix)
{
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        fs::path folder = makeFolderBeside(target, suffix);
        fs::path lock = folder / kFileDiBlocco;
        const int fd = openLock(lock);
        if (fd < 0) {
            const int error = errno;
            // Taken for a folder left behind by a run that cleaned up meanwhile: another name.
            if (error == ENOENT) continue;
            std::error_code ec;
            fs::remove_all(folder, ec);
            const std::string reason = motivoDiScrittura(parent, error);
            throw FileError("Impossibile scrivere il file " + target.string() + ": " + reason, reason);
        }
        // Held by a run that takes the folder for left behind, or already
        // removed by one: that run removes it, and we make another. Where the
        // disk keeps no locks the folder goes unlocked, and no run removes it.
        if (blocca(fd) == Blocco::Occupato || !stessoFile(fd, lock)) {
            ::close(fd);
            continue;
        }
        path_ = std::move(folder);
        lock_ = std::move(lock);
        fd_ = fd;
        return;
    }
    const std::string reason = "nessuna cartella di lavoro disponibile nella cartella " + parent.string();
    throw FileError("Impossibile scrivere il file " + target.string() + ": " + reason, reason);
}

CartellaInUso::~CartellaInUso()
{
    if (fd_ >= 0) ::close(fd_);
}

int rimuoviCartelleAbbandonate(const fs::path& folder, std::string_view suffix)
{
    // Gathered first: the folder is not changed under its own listing.
    std::vector<fs::path> candidates;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (nomeDiCartella(it->path().filename().string(), suffix)) candidates.push_back(it->path());
    }
    int removed = 0;
    for (const fs::path& candidate : candidates) {
        struct stat info {};
        if (::lstat(candidate.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) continue;
        // A folder without its lock file (made by an older version, or being
        // made right now) gets one: its maker then sees it taken and makes another.
        const fs::path lock = candidate / kFileDiBlocco;
        const int fd = openLock(lock);
        if (fd < 0) continue;
        // Removed while the lock is held: no maker can take it meanwhile.
        if (blocca(fd) == Blocco::Preso && stessoFile(fd, lock)) {
            std::error_code removeError;
            fs::remove_all(candidate, removeError);
            if (!removeError) ++removed;
        }
        ::close(fd);
    }
    return removed;
}

}  // namespace crv
