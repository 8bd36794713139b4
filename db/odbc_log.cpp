#include "db/odbc_log.h"

#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace crv::db {

void removeClosingOnlyOdbcLog()
{
#ifndef _WIN32
    // The driver's name for it: psqlodbc_<program>_<user><process>.log in /tmp.
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec).filename();
    const passwd* const user = ::getpwuid(::getuid());
    if (ec || user == nullptr) return;
    const std::filesystem::path log = std::filesystem::path("/tmp") /
                                      ("psqlodbc_" + program.string() + "_" + user->pw_name +
                                       std::to_string(::getpid()) + ".log");
    std::ifstream in(log);
    if (!in) return;
    for (std::string line; std::getline(in, line);)
        if (!line.starts_with("PQfinish: ")) return;
    in.close();
    std::filesystem::remove(log, ec);
#endif
}

}  // namespace crv::db
