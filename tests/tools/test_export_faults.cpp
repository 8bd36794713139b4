// The export under real faults: a full disk at each stage of the writing, a
// small system temporary folder, a folder the user may not write, a kill in
// the middle, two exports to one name at once, links planted beside it.
#include <csignal>
#include <cstdlib>
#include <set>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/small_disk.h"
#include "tools/case_export.h"
#include "tools/varie_fixture.h"
#include "tools/xlsx_check.h"
#include "tools/xlsx_reader.h"
#include "tools/xlsx_sheet.h"

namespace crv::test {
namespace {

namespace fs = std::filesystem;
using tools::Esito;

std::set<std::string> entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// The sheet's part of a workbook, as another unzip reads it.
std::string sheetXml(const fs::path& workbook)
{
    const std::string command = "unzip -p " + shellWord(workbook.string()) + " xl/worksheets/sheet1.xml";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string xml;
    char buffer[65536];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) xml.append(buffer, n);
    if (pipe) ::pclose(pipe);
    return xml;
}

std::uint64_t sheetBytes(const fs::path& workbook)
{
    return sheetXml(workbook).size();
}

// The program started in the background under Italian settings, its output
// thrown away; returns its process id.
pid_t startCrvxml(const std::vector<std::string>& args)
{
    std::vector<std::string> words{CRVXML_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::string lang = "LANG=it_IT.UTF-8", path = "PATH=/usr/bin:/bin";
    char* envp[] = {lang.data(), path.data(), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execve(argv[0], argv.data(), envp);
        ::_exit(127);
    }
    return pid;
}

class ExportFaults : public VarieTest {
protected:
    // Cases with a memo of some length, so that the sheet weighs.
    void addCases(int n)
    {
        const QString memo = QString(QStringLiteral("riga di memo della pratica ")).repeated(12);
        db().begin();
        for (int i = 1; i <= n; ++i) addCase({{"posizione", QString::number(i)}, {"memo", memo}});
        db().commit();
    }
    tools::RisultatoVarie esporta(const fs::path& out)
    {
        return tools::esportaPratiche(db(), {}, {"posizione", "memo"}, out, it);
    }
    std::vector<std::string> esportaArgs(const fs::path& out) const
    {
        return {"esporta", "--root", suite.paths().root.string(), "--campi", "posizione,memo", "--out", out.string()};
    }
};

TEST_P(ExportFaults, AFullDiskAtEachStageEndsTheExportAndKeepsTheEarlierWorkbook)
{
    addCases(2000);
    TempDir big;
    ASSERT_EQ(esporta(big / "misura.xlsx").esito, Esito::Terminata);
    const std::uint64_t rows = sheetBytes(big / "misura.xlsx");
    const std::uint64_t packed = fs::file_size(big / "misura.xlsx");
    ASSERT_GT(rows, 4 * packed) << "the rows take several times the workbook";

    SmallDisk disk(3 * rows + 2 * packed + (1u << 20));
    CRV_NEED_SMALL_DISK(disk);
    const fs::path out = disk / "casi.xlsx";
    writeFile(out, "cartella di prima");
    // Space left for part of the rows; for the rows but not the copy the
    // library makes of them; for the rows and nearly all of the copy.
    for (const std::uint64_t left : {rows / 3, rows + rows / 3, 2 * rows - 8192}) {
        fs::remove(disk / "riempimento");
        disk.fillLeaving(left);
        const auto r = esporta(out);
        EXPECT_EQ(r.esito, Esito::Errore) << left;
        ASSERT_EQ(r.messaggi.size(), 1u);
        EXPECT_NE(r.messaggi[0].find("Impossibile scrivere il file " + out.string() + ": disco pieno nella cartella " +
                                     disk.path().string()),
                  std::string::npos)
            << left << ": " << r.messaggi[0];
        EXPECT_TRUE(r.messaggi[0].ends_with("Nessun file scritto")) << r.messaggi[0];
        EXPECT_EQ(readFile(out), "cartella di prima") << left;
        EXPECT_EQ(entries(disk.path()), (std::set<std::string>{"casi.xlsx", "riempimento"})) << left;
    }
    // With room for all three the same export is written.
    fs::remove(disk / "riempimento");
    disk.fillLeaving(2 * rows + 2 * packed + 512 * 1024);
    const auto written = esporta(out);
    ASSERT_EQ(written.esito, Esito::Terminata) << written.messaggi[0];
    EXPECT_EQ(readXlsx(out).rows.size(), 2001u);
}

TEST_P(ExportFaults, TheRowsGoBesideTheWorkbookNotIntoTheSystemTemporaryFolder)
{
    addCases(2000);
    TempDir big;
    SmallDisk tmp(64 * 1024);
    CRV_NEED_SMALL_DISK(tmp);
    tmp.fillLeaving(0);
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    const auto r = esporta(big / "casi.xlsx");
    if (before) ::setenv("TMPDIR", saved.c_str(), 1); else ::unsetenv("TMPDIR");
    ASSERT_EQ(r.esito, Esito::Terminata) << r.messaggi[0];
    EXPECT_EQ(readXlsx(big / "casi.xlsx").rows.size(), 2001u);
    EXPECT_EQ(entries(big.path()), std::set<std::string>{"casi.xlsx"});
}

// The library copies its scratch files into the workbook without looking:
// scratch files on a disk that fills up under them, and a workbook on a
// disk with room, gave a workbook short of rows. The sheet refuses it.
TEST(XlsxSheetFaults, ScratchFilesCutShortAreCaught)
{
    SmallDisk scratch(4u << 20);
    CRV_NEED_SMALL_DISK(scratch);
    TempDir big;
    const auto write = [&](const fs::path& file, std::uint64_t left) {
        fs::remove(scratch / "riempimento");
        scratch.fillLeaving(left);
        tools::XlsxSheet sheet(file, DateOrder::DayMonthYear, {}, scratch.path());
        for (int row = 0; row < 4000; ++row) sheet.text(row, 0, "una riga del foglio di prova " + std::to_string(row));
        sheet.close();
    };
    write(big / "intera.xlsx", 3u << 20);
    const std::string xml = sheetXml(big / "intera.xlsx");
    const std::uint64_t rows = xml.size();
    ASSERT_GT(rows, 100000u);
    const std::size_t start = xml.find("<sheetData>") + 11;
    const std::uint64_t data = xml.find("</sheetData>") - start;
    EXPECT_EQ(tools::workbookIncompleto(big / "intera.xlsx", data), "");
    EXPECT_NE(tools::workbookIncompleto(big / "intera.xlsx", data - 1), "");
    try {
        write(big / "tronca.xlsx", rows + rows / 2);
        ADD_FAILURE() << "a workbook was made with its rows cut short";
    } catch (const tools::XlsxError& e) {
        EXPECT_NE(std::string(e.what()).find("disco pieno"), std::string::npos) << e.what();
    }

    // A workbook damaged after the fact: cut, or a byte changed.
    const std::string whole = readFile(big / "intera.xlsx");
    writeFile(big / "corta.xlsx", whole.substr(0, whole.size() / 2));
    std::string changed = whole;
    changed[changed.size() / 3] ^= 0x20;
    writeFile(big / "cambiata.xlsx", changed);
    EXPECT_NE(tools::workbookIncompleto(big / "corta.xlsx", rows), "");
    EXPECT_NE(tools::workbookIncompleto(big / "cambiata.xlsx", rows), "");
}

TEST_P(ExportFaults, AKilledExportLeavesNoScratchFolder)
{
    addCases(30000);
    suiteWithDatabase();
    TempDir folder;
    const fs::path out = folder / "casi.xlsx";
    writeFile(out, "cartella di prima");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t pid = startCrvxml(esportaArgs(out));
        ASSERT_GT(pid, 0);
        // Killed once it writes rows into its folder.
        bool writing = false;
        for (int wait = 0; wait < 60000 && !writing; ++wait) {
            for (const std::string& name : entries(folder.path())) writing = writing || name.ends_with(".parziale");
            if (!writing) ::usleep(1000);
        }
        ::usleep(50000);
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(writing) << "the export never started writing";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "signal " << signal << ", status " << status;
        EXPECT_EQ(entries(folder.path()), std::set<std::string>{"casi.xlsx"}) << "signal " << signal;
        EXPECT_EQ(readFile(out), "cartella di prima");
    }
}

TEST_P(ExportFaults, TwoExportsToOneNameBothWriteAWholeWorkbookAndNoLinkIsFollowed)
{
    addCases(3000);
    suiteWithDatabase();
    TempDir folder;
    const fs::path out = folder / "casi.xlsx";
    writeFile(folder / "vittima", "intatta");
    fs::create_symlink(folder / "vittima", folder / ".casi.xlsx.parziale");
    const pid_t first = startCrvxml(esportaArgs(out));
    const pid_t second = startCrvxml(esportaArgs(out));
    for (const pid_t pid : {first, second}) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(readXlsx(out).rows.size(), 3001u);
    EXPECT_EQ(readFile(folder / "vittima"), "intatta");
    EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"casi.xlsx", "vittima", ".casi.xlsx.parziale"}));
}

TEST_P(ExportFaults, AFolderWithoutWritePermissionIsNamedWithTheReason)
{
    addCase({{"posizione", "P1"}});
    suiteWithDatabase();
    TempDir folder;
    const fs::path out = folder / "casi.xlsx";
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    std::string words;
    for (const std::string& a : esportaArgs(out)) words += " " + shellWord(a);
    // Root writes anywhere: the program runs as nobody, who may read the
    // suite and the database but not write in the folder.
    const ProgramRun run =
        ::geteuid() == 0
            ? runCrvxmlShell("--reuid=65534 --regid=65534 --clear-groups " + shellWord(CRVXML_BINARY) + words,
                             "it_IT.UTF-8", "setpriv")
            : (fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::remove),
               runCrvxmlShell(words.substr(1), "it_IT.UTF-8"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Impossibile scrivere il file " + out.string() + ": permesso negato nella cartella " +
                           folder.path().string() + ". Nessun file scritto\n");
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

INSTANTIATE_TEST_SUITE_P(SQLite, ExportFaults, ::testing::Values(TestDb::SQLite), dialectName);

}  // namespace
}  // namespace crv::test
