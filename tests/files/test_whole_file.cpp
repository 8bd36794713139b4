// Files written whole or not at all, on a real full disk, beside planted
// links, and under a signal that ends the program mid-way.
#include <csignal>
#include <set>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/whole_file.h"
#include "support/small_disk.h"
#include "support/test_support.h"

namespace crv::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(WholeFile, ReplacesWholeNeverThroughALinkAndLeavesNothingBeside)
{
    TempDir dir;
    const fs::path target = dir / "Crv_XML.ini";
    EXPECT_FALSE(writeWholeFile(target, "primo\r\n"));
    EXPECT_TRUE(writeWholeFile(target, "secondo\r\n"));
    EXPECT_EQ(readFile(target), "secondo\r\n");

    // Links planted at every name a writer used to take, and the target
    // itself a link: the files they lead to are never written.
    writeFile(dir / "vittima", "intatta");
    for (const char* planted : {"Crv_XML.ini.tmp", ".Crv_XML.ini.parziale", "nuovo.txt"})
        fs::create_symlink(dir / "vittima", dir / planted);
    fs::create_symlink(dir / "vittima", dir / "collegamento");
    EXPECT_TRUE(writeWholeFile(target, "terzo\r\n"));
    EXPECT_TRUE(writeWholeFile(dir / "collegamento", "al posto del collegamento"));
    EXPECT_FALSE(writeNewFile(dir / "nuovo.txt", "attraverso il collegamento"));
    EXPECT_EQ(readFile(dir / "vittima"), "intatta");
    EXPECT_FALSE(fs::is_symlink(dir / "collegamento"));
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"Crv_XML.ini", "Crv_XML.ini.tmp", ".Crv_XML.ini.parziale",
                                                           "nuovo.txt", "collegamento", "vittima"}));
}

TEST(WholeFile, AFullDiskNamesTheFolderAndKeepsTheEarlierFile)
{
    SmallDisk disk(256 * 1024);
    CRV_NEED_SMALL_DISK(disk);
    const fs::path target = disk / "definizione.ini";
    writeWholeFile(target, "vecchio\r\n");
    disk.fillLeaving(8 * 1024);
    const std::string big(64 * 1024, 'n');

    const auto failure = [&](auto&& write) {
        try {
            write();
        } catch (const FileError& e) {
            return std::string(e.what());
        }
        return std::string("nessun errore");
    };
    const std::string expected =
        "Impossibile scrivere il file " + target.string() + ": disco pieno nella cartella " + disk.path().string();
    EXPECT_EQ(failure([&] { writeWholeFile(target, big); }), expected);
    EXPECT_EQ(failure([&] { writeNewFile(disk / "allegato.pdf", big); }),
              "Impossibile scrivere il file " + (disk / "allegato.pdf").string() + ": disco pieno nella cartella " +
                  disk.path().string());
    disk.fillLeaving(0);
    EXPECT_EQ(failure([&] { writeWholeFile(target, "x"); }), expected);

    EXPECT_EQ(readFile(target), "vecchio\r\n");
    EXPECT_EQ(entries(disk.path()), (std::set<std::string>{"definizione.ini", "riempimento"}));
}

TEST(WholeFile, ASignalThatEndsTheProgramTakesTheNewFileAlong)
{
    TempDir dir;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WholeFile file(dir / "cartella.xlsx");
            file.write("a metà");
            ::raise(signal);
            ::_exit(0);  // not reached: the signal ends the child
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "signal " << signal;
        EXPECT_TRUE(fs::is_empty(dir.path())) << "signal " << signal;
    }
}

}  // namespace
}  // namespace crv::test
