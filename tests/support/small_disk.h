#pragma once
// A real, small file system for tests of a full disk: a tmpfs mounted on a
// fresh folder (root only), unmounted and removed at the end. Where mount is
// refused the test skips and says why.
#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace crv::test {

class SmallDisk {
public:
    explicit SmallDisk(std::uint64_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& whyNot() const { return whyNot_; }
    const std::filesystem::path& path() const { return dir_.path(); }
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

    // Bytes still free for files.
    std::uint64_t freeBytes() const;
    // Fills the disk with a file of its own ("riempimento") until at most
    // `bytes` stay free; 0 fills it to the last byte.
    void fillLeaving(std::uint64_t bytes) const;

private:
    TempDir dir_;
    bool mounted_ = false;
    std::string whyNot_;
};

}  // namespace crv::test

// Skips the current test, with the reason, when the disk could not be made.
#define CRV_NEED_SMALL_DISK(disk) \
    if (!(disk).mounted()) GTEST_SKIP() << (disk).whyNot()
