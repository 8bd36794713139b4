#include "files/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/removed_on_signal.h"
#include "files/system_reason.h"

namespace crv {
namespace fs = std::filesystem;

namespace {

constexpr int kAttempts = 100;

// The longest part of the target's name a scratch name keeps: room is left
// for the random part, and file systems take 255 bytes.
constexpr std::size_t kNameBytes = 200;

// "." + the target's name (cut, never inside a UTF-8 character) + "." +
// a random part + the suffix.
fs::path scratchName(const fs::path& target, std::string_view suffix)
{
    std::string name = target.filename().string();
    if (name.size() > kNameBytes) {
        std::size_t keep = kNameBytes;
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
        name.resize(keep);
    }
    return "." + name + "." + randomPart() + std::string(suffix);
}

// The folder a file is written in, as messages name it.
fs::path folderOf(const fs::path& file)
{
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

int createExclusive(const fs::path& file)
{
    int fd;
    do {
        fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Flushes to the disk and closes; the errno of the failure, or 0. The
// descriptor is closed in every case.
int syncAndClose(int fd)
{
    int error = ::fsync(fd) == 0 ? 0 : errno;
    // A file system that cannot sync (a pipe, some network shares) still wrote.
    if (error == EINVAL || error == ENOTSUP) error = 0;
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    return error;
}

std::string impossibile(const fs::path& file)
{
    return "Impossibile scrivere il file " + file.string() + ": ";
}

}  // namespace

int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::string randomPart()
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
    return text;
}

WholeFile::WholeFile(fs::path target) : target_(std::move(target))
{
    const fs::path folder = folderOf(target_);
    int error = 0;
    for (int attempt = 0; attempt < kAttempts && fd_ < 0; ++attempt) {
        fs::path candidate = folder / scratchName(target_, ".tmp");
        fd_ = createExclusive(candidate);
        if (fd_ >= 0) {
            temporary_ = std::move(candidate);
            break;
        }
        error = errno;
        if (error != EEXIST) break;
    }
    if (fd_ < 0) {
        const std::string reason = motivoDiScrittura(folder, error);
        throw FileError(impossibile(target_) + reason, reason);
    }
    guard_ = std::make_unique<RemovedOnSignal>(std::vector<fs::path>{temporary_});
}

WholeFile::~WholeFile()
{
    if (fd_ >= 0) ::close(fd_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void WholeFile::fail(const std::string& what, int error)
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    const std::string reason = what.empty() ? motivoDiScrittura(folderOf(target_), error) : what;
    throw FileError(impossibile(target_) + reason, reason);
}

void WholeFile::write(std::string_view bytes)
{
    if (fd_ < 0) fail("file già chiuso", 0);
    if (const int error = writeAll(fd_, bytes)) fail({}, error);
}

void WholeFile::keepPermissionsOf(const fs::path& other)
{
    struct stat st {};
    if (fd_ < 0 || ::stat(other.c_str(), &st) != 0) return;
    // The owner too where the system allows it (root, or a group of one's own).
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) (void)::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    ::fchmod(fd_, st.st_mode & 07777);
}

bool WholeFile::commit()
{
    if (fd_ < 0) fail("file già chiuso", 0);
    const int fd = fd_;
    fd_ = -1;
    if (const int error = syncAndClose(fd)) fail({}, error);
    std::error_code ec;
    const bool replaced = fs::exists(fs::symlink_status(target_, ec));
    fs::rename(temporary_, target_, ec);
    if (ec) fail(motivoDiSistema(ec), 0);
    temporary_.clear();
    guard_.reset();
    return replaced;
}

bool writeWholeFile(const fs::path& target, std::string_view bytes)
{
    WholeFile file(target);
    file.write(bytes);
    return file.commit();
}

bool writeNewFile(const fs::path& file, std::string_view bytes)
{
    const int fd = createExclusive(file);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        const int error = errno;
        const std::string reason = motivoDiScrittura(folderOf(file), error);
        throw FileError(impossibile(file) + reason, reason);
    }
    RemovedOnSignal guard({file});
    int error = writeAll(fd, bytes);
    if (error != 0) {
        ::close(fd);
    } else {
        error = syncAndClose(fd);
    }
    if (error != 0) {
        ::unlink(file.c_str());
        const std::string reason = motivoDiScrittura(folderOf(file), error);
        throw FileError(impossibile(file) + reason, reason);
    }
    return true;
}

int syncFile(const fs::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    return syncAndClose(fd);
}

fs::path makeFolderBeside(const fs::path& target, std::string_view suffix)
{
    const fs::path folder = folderOf(target);
    int error = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const fs::path candidate = folder / scratchName(target, suffix);
        if (::mkdir(candidate.c_str(), 0700) == 0) return candidate;
        error = errno;
        if (error != EEXIST) break;
    }
    const std::string reason = motivoDiScrittura(folder, error);
    throw FileError(impossibile(target) + reason, reason);
}

}  // namespace crv
