// An SQLite case database on a disk that fills up, a real one: a small tmpfs
// (mounted as root; skipped with a message where mounting is refused). The
// first failure is named, SQLite's own rollback is not reported as a second,
// failed one, and the archive is left as small as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

#include <QSqlQuery>

#include "db/connection_string.h"
#include "db/database.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

class FullDisk : public ::testing::TestWithParam<bool> {  // through ODBC
protected:
    void SetUp() override
    {
        disk_ = temp_ / "disco";
        std::filesystem::create_directory(disk_);
        if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here (not root?): " << std::strerror(errno);
        mounted_ = true;
    }
    void TearDown() override
    {
        if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
    }

    std::string connString() const
    {
        const std::string file = (disk_ / "pratiche.sqlite").string();
        return GetParam() ? "Driver={SQLite3};Database=" + file : db::sqliteConnString(file);
    }
    // Leaves `free` bytes of the disk.
    void fill(std::size_t free)
    {
        const auto space = std::filesystem::space(disk_);
        writeFile(disk_ / "riempitivo", std::string(space.available - free, 'x'));
    }
    ProgramRun crvxml(std::vector<std::string> args) const
    {
        args.insert(args.begin() + 1, {"--root", suite.paths().root.string()});
        return runCrvxml(args, "C.UTF-8");
    }

    TempDir temp_;
    std::filesystem::path disk_;
    bool mounted_ = false;
    SuiteFixture suite;
};

TEST_P(FullDisk, TheFirstFailureIsNamedAndTheArchiveKept)
{
    writeFile(suite.paths().vex32Ini(), "connstring=" + connString() + "\r\n");

    fill(8 * 1024);
    const ProgramRun noRoom = crvxml({"init-db"});
    EXPECT_EQ(noRoom.status, 1);
    EXPECT_NE(noRoom.err.find("disco pieno"), std::string::npos) << noRoom.err;
    EXPECT_EQ(noRoom.err.find("annullare"), std::string::npos) << noRoom.err;

    std::filesystem::remove(disk_ / "riempitivo");
    std::filesystem::remove(disk_ / "pratiche.sqlite");
    ASSERT_EQ(crvxml({"init-db"}).status, 0);
    // Cases enough to fill what is left with their memos, whatever is left:
    // the disk fills in the journal, or in the archive grown meanwhile.
    std::string cases;
    for (int i = 0; i < 1000; ++i)
        cases += "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>" + std::to_string(i) +
                 "</CODICE_PRATICA></DATI_IDENTIFICATIVI><CLIENTE><NOME>ROSSI</NOME><NOTE>" + std::string(1500, 'n') +
                 "</NOTE></CLIENTE></PRATICA>";
    writeFile(suite.paths().importDir() / "molte.xml", "<CORVESTRA>" + cases + "</CORVESTRA>");
    const auto archive = disk_ / "pratiche.sqlite";
    const auto size = std::filesystem::file_size(archive);
    for (const int free : {40, 64, 88, 112, 160, 200}) {
        SCOPED_TRACE(std::to_string(free) + " KB free");
        fill(free * 1024);
        const ProgramRun full = crvxml({"import", "--no-test", "molte.xml"});
        EXPECT_EQ(full.status, 1);
        EXPECT_NE(full.err.find("disco pieno"), std::string::npos) << full.err;
        EXPECT_NE(full.err.find("L'importazione è stata annullata: l'archivio non è stato modificato."),
                  std::string::npos)
            << full.err;
        EXPECT_EQ(full.err.find("Annullamento non riuscito"), std::string::npos) << full.err;
        // As small as it was, without a journal, as soon as the run is over
        // (not once some later program opens it), the disk still full.
        EXPECT_EQ(std::filesystem::file_size(archive), size);
        EXPECT_FALSE(std::filesystem::exists(disk_ / "pratiche.sqlite-journal"));
        std::filesystem::remove(disk_ / "riempitivo");
    }
    auto check = db::Database::open(db::parseConnString(connString()));
    QSqlQuery rows = check->query(QStringLiteral("SELECT count(*) FROM \"Tabella Pratiche\""));
    ASSERT_TRUE(rows.next());
    EXPECT_EQ(rows.value(0).toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, FullDisk, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Odbc" : "Qt"); });

}  // namespace
}  // namespace crv::test
