#include "support/small_disk.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace crv::test {

SmallDisk::SmallDisk(std::uint64_t bytes)
{
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0) {
        mounted_ = true;
    } else {
        whyNot_ = std::string("no tmpfs for a full disk here (mount: ") + std::strerror(errno) +
                  "): this test needs root";
    }
}

SmallDisk::~SmallDisk()
{
    if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

std::uint64_t SmallDisk::freeBytes() const
{
    struct statvfs disk {};
    if (::statvfs(dir_.path().c_str(), &disk) != 0) return 0;
    return static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
}

void SmallDisk::fillLeaving(std::uint64_t bytes) const
{
    const std::uint64_t available = freeBytes();
    if (available <= bytes) return;
    std::ofstream out(dir_ / "riempimento", std::ios::binary | std::ios::app);
    const std::string block(4096, 'x');
    std::uint64_t left = available - bytes;
    while (left > 0 && out) {
        const std::uint64_t n = std::min<std::uint64_t>(left, block.size());
        out.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    out.flush();
}

}  // namespace crv::test
