#include "files/locked_append.h"

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/file_descriptor.h"
#include "files/system_reason.h"
#include "files/whole_file.h"

namespace crv {
namespace {

[[noreturn]] void fail(const std::filesystem::path& file, const std::string& reason)
{
    throw FileError("Impossibile scrivere il file " + file.string() + ": " + reason, reason);
}

// Takes the write lock on the whole file, waiting up to maxWait for another
// holder. Polled rather than waited on in the kernel: a holder that never
// lets go (a program stopped in a debugger, a machine gone from the
// network) must not keep this one waiting for ever.
void lock(int fd, const std::filesystem::path& file, const AppendOptions& options)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto until = start + options.maxWait;
    bool told = false;
    for (;;) {
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(fd, F_SETLK, &whole) == 0) return;
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EACCES && error != EAGAIN) {
            if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS)
                fail(file, "il disco non permette di bloccare il file mentre si scrive (" + motivoDiSistema(error) +
                               "): la riga non è stata scritta per non mescolarla a quella di un altro programma");
            fail(file, motivoDiSistema(error));
        }
        // Another writer's line takes a few milliseconds: only a longer
        // wait is worth a word.
        if (!told && options.onWait && Clock::now() - start >= options.sayAfter) {
            options.onWait();
            told = true;
        }
        if (Clock::now() >= until) {
            const auto seconds = std::chrono::ceil<std::chrono::seconds>(options.maxWait).count();
            fail(file, "è bloccato da un altro programma da più di " + std::to_string(seconds) +
                           (seconds == 1 ? " secondo" : " secondi"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

void appendLocked(const std::filesystem::path& file, std::string_view line, const AppendOptions& options)
{
    // Made here, or there already (made by another program meanwhile included).
    int fd = -1;
    bool made = false;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0666);
        made = fd >= 0;
        if (fd < 0 && (errno == EEXIST || errno == EINTR))
            fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0 && errno != ENOENT && errno != EINTR) break;
    }
    if (fd < 0) {
        const int error = errno;
        // A link planted where the file goes would have the line (and the
        // lock) go to whatever file it names.
        if (error == ELOOP)
            fail(file, "è un collegamento simbolico, che non si segue: la riga non è stata scritta");
        // The folder missing, or the disk full, is said of the folder.
        fail(file, error == ENOENT || error == ENOSPC
                       ? motivoDiScrittura(file.has_parent_path() ? file.parent_path() : ".", error)
                       : motivoDiSistema(error));
    }
    FileDescriptor descriptor(fd);  // closed, and so the lock dropped, on every way out
    // Everyone who may make files in the folder may append to the file: the
    // first writer's umask does not shut the others out of a shared suite.
    if (made) {
        struct stat folder {};
        if (::stat(file.has_parent_path() ? file.parent_path().c_str() : ".", &folder) == 0)
            ::fchmod(fd, folder.st_mode & 0666);
    }
    lock(fd, file, options);

    // The file as it is now that nobody else writes to it.
    struct stat status {};
    if (::fstat(fd, &status) != 0) fail(file, motivoDiSistema(errno));
    std::string bytes;
    if (status.st_size == 0) {
        bytes = options.header;
    } else {
        // Read through the same descriptor: closing another one of this
        // program's on the file would drop the lock.
        char last = '\n';
        if (::pread(fd, &last, 1, status.st_size - 1) != 1) last = '\n';
        if (last != '\n') bytes = "\r\n";
    }
    bytes += line;
    int error = writeAll(fd, bytes);
    if (error != 0) {
        // A line cut short (a full disk) is taken back while the lock is held.
        [[maybe_unused]] const int ignored = ::ftruncate(fd, status.st_size);
    }
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) error = errno;
    if (error == 0) error = descriptor.close();
    if (error != 0) fail(file, motivoDiScrittura(file.has_parent_path() ? file.parent_path() : ".", error));
}

}  // namespace crv
