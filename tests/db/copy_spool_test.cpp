// The rows a writer gathers for one COPY: read back as written, whether
// they stayed in memory or went to the scratch file, and a scratch folder
// on a full disk named in the message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "db/copy_spool.h"
#include "db/db_error.h"
#include "support/small_disk.h"

namespace crv::test {
namespace {

using Fields = std::vector<std::optional<QByteArray>>;

// Rows of every field COPY's text form escapes, and a long one, `count` times.
std::vector<Fields> rows(int count)
{
    const Fields kinds[] = {
        {QByteArray("1"), QByteArray("testo\tcon\ttab")},
        {QByteArray("2"), QByteArray("righe\r\nmemo\nfine")},
        {QByteArray("3"), QByteArray("\\N")},  // the text, not a NULL
        {QByteArray("4"), std::nullopt},
        {QByteArray("5"), QByteArray("")},
        {QByteArray("6"), QByteArray("barra \\ e barre \\\\ alla fine \\")},
        {QByteArray("7"), QByteArray(3000, 'x') + QByteArray("àè€")},
    };
    std::vector<Fields> out;
    for (int i = 0; i < count; ++i) out.push_back(kinds[i % std::size(kinds)]);
    return out;
}

std::vector<Fields> readBack(const db::CopySpool& spool)
{
    std::vector<Fields> out;
    spool.forEachRow([&](const Fields& fields) { out.push_back(fields); });
    return out;
}

void write(db::CopySpool& spool, const std::vector<Fields>& rows)
{
    for (const Fields& row : rows) {
        for (const auto& field : row) spool.field(field);
        spool.endRow();
    }
}

// TMPDIR for the time of a test.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& folder)
    {
        if (const char* old = std::getenv("TMPDIR")) old_ = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TemporaryFolder()
    {
        if (old_)
            ::setenv("TMPDIR", old_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> old_;
};

TEST(CopySpool, RowsComeBackAsWrittenFromMemoryAndFromTheScratchFile)
{
    for (const int count : {7, 12000}) {  // the second passes the megabytes kept in memory
        SCOPED_TRACE(count);
        db::CopySpool spool;
        const std::vector<Fields> written = rows(count);
        write(spool, written);
        EXPECT_EQ(spool.rows(), written.size());
        if (count > 7) {
            EXPECT_GT(spool.bytes(), 4u << 20) << "more than the memory keeps";
        }
        EXPECT_EQ(readBack(spool), written);
        std::uint64_t replayed = 0;
        spool.replay([&](const char*, std::size_t size) { replayed += size; });
        EXPECT_EQ(replayed, spool.bytes());

        spool.clear();
        EXPECT_TRUE(spool.empty());
        write(spool, rows(2));
        EXPECT_EQ(readBack(spool), rows(2)) << "nothing of the rows cleared comes back";
    }
}

TEST(CopySpool, AFullScratchFolderIsNamed)
{
    SmallDisk disk(256 * 1024);
    CRV_NEED_SMALL_DISK(disk);
    const TemporaryFolder scratch(disk.path().string());
    db::CopySpool spool;
    try {
        write(spool, rows(12000));
        FAIL() << "megabytes written on a disk of 256 KB";
    } catch (const db::DbError& e) {
        EXPECT_EQ(e.context(), "Impossibile scrivere le righe da inviare al database nella cartella temporanea");
        EXPECT_EQ(e.driverText(), "disco pieno nella cartella " + disk.path().string()) << e.what();
    }
}

}  // namespace
}  // namespace crv::test
