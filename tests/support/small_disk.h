#pragma once
// A real, small file system for the tests of a full disk: a tmpfs mounted on
// a fresh folder (root only), unmounted at the end; elsewhere the test skips.
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
    bool mounted() const { return whyNot_.empty(); }
    const std::string& whyNot() const { return whyNot_; }
    const std::filesystem::path& path() const { return dir_.path(); }
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }
    // Fills the disk with the file "riempimento" until at most `bytes` stay free.
    void fillLeaving(std::uint64_t bytes) const;

private:
    TempDir dir_;
    std::string whyNot_;
};

}  // namespace crv::test

#define CRV_NEED_SMALL_DISK(disk) \
    if (!(disk).mounted()) GTEST_SKIP() << (disk).whyNot()
