#include "db/odbc_log.h"

#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace crv::db {

void removeClosingOnlyOdbcLog()
{
#ifndef _WIN32
    // The driver's name for it is psqlodbc_<program>_<user><process>.log in
    // /tmp, without the user when the system has no name for ours (a
    // container's user often has none). The program's part is not to be
    // trusted: the driver reads it without ending the string, and what follows
    // in its buffer at times joins the name ("crvxml3_", "-_"). So the log is
    // known by its end and its owner.
    const passwd* const user = ::getpwuid(::getuid());
    const std::string ending =
        (user != nullptr ? std::string(user->pw_name) : std::string("_")) + std::to_string(::getpid()) + ".log";
    std::error_code ec;
    for (std::filesystem::directory_iterator entry("/tmp", ec), end; !ec && entry != end; entry.increment(ec)) {
        const std::string name = entry->path().filename().string();
        if (!name.starts_with("psqlodbc_") || !name.ends_with(ending)) continue;
        struct stat info {};
        if (::lstat(entry->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid())
            continue;
        std::ifstream in(entry->path());
        bool closingOnly = static_cast<bool>(in);
        for (std::string line; closingOnly && std::getline(in, line);) closingOnly = line.starts_with("PQfinish: ");
        in.close();
        std::error_code ignored;
        if (closingOnly) std::filesystem::remove(entry->path(), ignored);
    }
#endif
}

}  // namespace crv::db
