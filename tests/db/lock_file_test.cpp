// The lock file that keeps imports one at a time where the database has no
// lock of its own, against another program holding it (util-linux's flock,
// whose lock is the same system lock) and against a second opening in the
// same program.
#include <gtest/gtest.h>

#include "db/db_error.h"
#include "db/lock_file.h"
#include "support/background_run.h"

namespace crv::test {
namespace {

TEST(LockFile, ExcludesAnotherProgramAndASecondOpeningUntilGivenBack)
{
    const TempDir dir;
    const auto path = dir / "crvxml-importazione.lock";
    // The other program holds the file until it may take the gate, which
    // this test holds.
    auto gate = db::LockFile::tryTake(dir / "cancello");
    ASSERT_NE(gate, nullptr);
    BackgroundRun other({path.string(), "-c", "echo preso >&2; flock " + (dir / "cancello").string() + " true"}, "",
                        "/usr/bin/flock");
    ASSERT_TRUE(other.waitForErr("preso")) << other.finish().err;
    EXPECT_EQ(db::LockFile::tryTake(path), nullptr);
    gate.reset();
    EXPECT_EQ(other.finish().status, 0);

    auto mine = db::LockFile::tryTake(path);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(db::LockFile::tryTake(path), nullptr) << "a second opening in the same program";
    EXPECT_EQ(BackgroundRun({"-n", path.string(), "true"}, "", "/usr/bin/flock").finish().status, 1);
    mine.reset();
    EXPECT_EQ(BackgroundRun({"-n", path.string(), "true"}, "", "/usr/bin/flock").finish().status, 0);
    EXPECT_NE(db::LockFile::tryTake(path), nullptr);

    try {
        db::LockFile::tryTake(dir / "manca" / "crvxml-importazione.lock");
        FAIL() << "a lock file in a missing folder";
    } catch (const db::DbError& e) {
        EXPECT_NE(std::string(e.what()).find("Impossibile aprire il file di blocco"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace crv::test
