#include "support/small_disk.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <sys/mount.h>
#include <sys/statvfs.h>

namespace crv::test {

SmallDisk::SmallDisk(std::uint64_t bytes)
{
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) != 0)
        whyNot_ = std::string("no tmpfs for a full disk (mount: ") + std::strerror(errno) + "): needs root";
}

SmallDisk::~SmallDisk()
{
    if (mounted()) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

void SmallDisk::fillLeaving(std::uint64_t bytes) const
{
    struct statvfs disk {};
    if (::statvfs(path().c_str(), &disk) != 0) return;
    const std::uint64_t available = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
    std::ofstream out(dir_ / "riempimento", std::ios::binary | std::ios::app);
    const std::string block(4096, 'x');
    for (std::uint64_t left = available > bytes ? available - bytes : 0; left > 0 && out;) {
        const std::uint64_t n = std::min<std::uint64_t>(left, block.size());
        out.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

}  // namespace crv::test
