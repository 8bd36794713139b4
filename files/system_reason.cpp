#include "files/system_reason.h"

#include <cerrno>
#include <cstring>

#include <sys/statvfs.h>

namespace crv {

std::string motivoDiSistema(int error)
{
    switch (error) {
    case ENOSPC: return "disco pieno";
#ifdef EDQUOT
    case EDQUOT: return "spazio disco a disposizione esaurito (quota)";
#endif
    case EACCES:
    case EPERM: return "permesso negato";
    case EROFS: return "disco in sola lettura";
    case ENOENT: return "file o cartella inesistente";
    case ENOTDIR: return "una parte del percorso non è una cartella";
    case EISDIR: return "è una cartella";
    case EEXIST: return "esiste già";
    case ENAMETOOLONG: return "nome troppo lungo";
    case ELOOP: return "troppi collegamenti simbolici nel percorso";
    case EIO: return "errore di lettura o scrittura del disco";
    case EFBIG: return "file troppo grande";
    case EMFILE:
    case ENFILE: return "troppi file aperti";
    case ENOMEM: return "memoria insufficiente";
    case EBUSY:
    case ETXTBSY: return "file in uso";
    case EINVAL: return "nome non valido per questo disco";
    case EXDEV: return "cartelle su dischi diversi";
    default: break;
    }
    return "errore di sistema " + std::to_string(error) + " (" + std::strerror(error) + ")";
}

std::string motivoDiSistema(const std::error_code& error)
{
    if (error.category() == std::generic_category() || error.category() == std::system_category())
        return motivoDiSistema(error.value());
    return error.message();
}

std::string motivoDiScrittura(const std::filesystem::path& folder, int error)
{
    const std::filesystem::path shown = folder.empty() ? std::filesystem::path(".") : folder;
    std::error_code ec;
    if (!std::filesystem::is_directory(shown, ec)) return "la cartella " + shown.string() + " non esiste";
    // A write that failed for want of space says so, whatever error the
    // writer kept: the space counts, not the text.
    std::string reason = error == 0 ? "errore di scrittura" : motivoDiSistema(error);
    // A file system that tells no sizes (some network shares) says nothing here.
    struct statvfs disk {};
    if (::statvfs(shown.c_str(), &disk) == 0 && disk.f_blocks > 0 && disk.f_bavail == 0)
        reason = motivoDiSistema(ENOSPC);
    return reason + " nella cartella " + shown.string();
}

std::optional<std::uint64_t> spazioLibero(const std::filesystem::path& folder)
{
    struct statvfs disk {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) != 0 || disk.f_blocks == 0) return std::nullopt;
    return static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
}

std::string megabyte(std::uint64_t bytes)
{
    // Tenths below 10 MB, written the Italian way ("0,5 MB").
    const std::uint64_t tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
    if (tenths >= 100) return std::to_string(tenths / 10) + " MB";
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " MB";
}

}  // namespace crv
