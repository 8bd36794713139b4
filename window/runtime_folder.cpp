#include "window/runtime_folder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace crv::window {

namespace {

const char* const kVariable = "XDG_RUNTIME_DIR";

// The temporary folder as Qt finds it: TMPDIR, else /tmp.
std::string temporaryFolder()
{
    const char* const tmpdir = std::getenv("TMPDIR");
    std::string folder = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string userName()
{
    if (const passwd* const entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr)
        return entry->pw_name;
    return std::to_string(::geteuid());
}

}  // namespace

bool cartellaRuntimeAdatta(const std::string& folder)
{
    // Only a whole path counts, as for every folder the desktop names.
    if (folder.empty() || folder.front() != '/') return false;
    if (::mkdir(folder.c_str(), 0700) == 0) {
        // A restrictive umask may have left the owner without a right.
        return ::chmod(folder.c_str(), 0700) == 0;
    }
    if (errno != EEXIST) return false;
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 0777) == 0700;
}

CartellaRuntime::CartellaRuntime()
{
    if (const char* const named = std::getenv(kVariable); named != nullptr && cartellaRuntimeAdatta(named)) {
        path_ = named;
        return;
    }
    std::string chosen = temporaryFolder() + "/runtime-" + userName();
    if (!cartellaRuntimeAdatta(chosen)) {
        // Taken by someone else, or not a private folder: one of our own.
        std::string pattern = temporaryFolder() + "/crvxml-runtime-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) return;
        chosen = buffer.data();
        madeHere_ = true;
    }
    path_ = chosen;
    ::setenv(kVariable, path_.c_str(), 1);
}

CartellaRuntime::~CartellaRuntime()
{
    if (!madeHere_) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace crv::window
