// The export under real faults: a full disk at each stage of the writing, a
// full system temporary folder, a folder the user may not write, kills in
// the middle, two exports to one name at once, a link planted beside it.
#include <csignal>
#include <functional>
#include <set>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/registro.h"
#include "files/folder_in_use.h"
#include "support/small_disk.h"
#include "tools/case_export.h"
#include "tools/varie_fixture.h"
#include "tools/xlsx_check.h"
#include "tools/xlsx_reader.h"

namespace crv::test {
namespace {

namespace fs = std::filesystem;
using tools::Esito;
using Names = std::set<std::string>;

Names entries(const fs::path& folder)
{
    Names names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// The sheet of a workbook as another unzip reads it.
std::string sheetXml(const fs::path& workbook)
{
    FILE* pipe = ::popen(("unzip -p " + shellWord(workbook.string()) + " xl/worksheets/sheet1.xml").c_str(), "r");
    std::string xml;
    char buffer[65536];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) xml.append(buffer, n);
    if (pipe) ::pclose(pipe);
    return xml;
}

class ExportFaults : public VarieTest {
protected:
    void addCases(int n)
    {
        const QString memo = QStringLiteral("riga di memo della pratica ").repeated(12);
        db().begin();
        for (int i = 1; i <= n; ++i) addCase({{"posizione", QString::number(i)}, {"memo", memo}});
        db().commit();
    }
    tools::RisultatoVarie esporta(const fs::path& out) { return tools::esportaPratiche(db(), {}, {"posizione", "memo"}, out, it); }
    // The command in the background, its output thrown away.
    pid_t start(const fs::path& out)
    {
        std::vector<std::string> words{CRVXML_BINARY, "esporta", "--root", suite.paths().root.string(),
                                       "--campi", "posizione,memo", "--out", out.string()};
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            for (const int fd : {0, 1, 2}) ::dup2(null, fd);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return pid;
    }
};

TEST_P(ExportFaults, AFullDiskAtEachStageEndsTheExportAndKeepsTheEarlierWorkbook)
{
    addCases(2000);
    // The system's temporary folder full: the rows go beside the workbook.
    TempDir big;
    SmallDisk tmp(64 * 1024);
    CRV_NEED_SMALL_DISK(tmp);
    tmp.fillLeaving(0);
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    const auto measured = esporta(big / "misura.xlsx");
    ::unsetenv("TMPDIR");
    ASSERT_EQ(measured.esito, Esito::Terminata) << measured.messaggi[0];
    const std::string xml = sheetXml(big / "misura.xlsx");
    const std::uint64_t rows = xml.size(), packed = fs::file_size(big / "misura.xlsx");
    // The reading back of a workbook counts the bytes of its rows.
    const std::uint64_t data = xml.find("</sheetData>") - xml.find("<sheetData>") - 11;
    EXPECT_EQ(tools::workbookIncompleto(big / "misura.xlsx", data), "");
    EXPECT_NE(tools::workbookIncompleto(big / "misura.xlsx", data - 1), "");

    SmallDisk disk(3 * rows + 2 * packed + (1u << 20));
    const fs::path out = disk / "casi.xlsx";
    writeFile(out, "cartella di prima");
    // Room for part of the rows; for the rows but not the library's copy of
    // them; for the rows and nearly all of the copy; for everything.
    for (const std::uint64_t left : {rows / 3, rows + rows / 3, 2 * rows - 8192, 2 * rows + 2 * packed + (512u << 10)}) {
        fs::remove(disk / "riempimento");
        disk.fillLeaving(left);
        const auto r = esporta(out);
        if (left > 2 * rows) {
            ASSERT_EQ(r.esito, Esito::Terminata) << r.messaggi[0];
            EXPECT_EQ(readXlsx(out).rows.size(), 2001u);
            break;
        }
        EXPECT_EQ(r.esito, Esito::Errore) << left;
        EXPECT_NE(r.messaggi[0].find("Impossibile scrivere il file " + out.string() + ": disco pieno nella cartella " +
                                     disk.path().string()),
                  std::string::npos)
            << r.messaggi[0];
        EXPECT_EQ(readFile(out), "cartella di prima") << left;
        EXPECT_EQ(entries(disk.path()), (Names{"casi.xlsx", "riempimento"})) << left;
    }
}

TEST_P(ExportFaults, ExportsRunTwiceAtOnceOrKilledLeaveOnlyWholeWorkbooks)
{
    addCases(30000);
    suiteWithDatabase();
    TempDir folder;
    const fs::path out = folder / "casi.xlsx";
    writeFile(folder / "vittima", "intatta");
    fs::create_symlink(folder / "vittima", folder / ".casi.xlsx.parziale");
    const Names after{"casi.xlsx", "vittima", ".casi.xlsx.parziale"};
    const pid_t first = start(out), second = start(out);
    for (const pid_t pid : {first, second}) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(readXlsx(out).rows.size(), 30001u);
    EXPECT_EQ(readFile(folder / "vittima"), "intatta");
    EXPECT_EQ(entries(folder.path()), after);

    const std::string whole = readFile(out);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t pid = start(out);
        bool writing = false;  // killed once it writes rows into its own folder
        for (int wait = 0; wait < 60000 && !writing; ++wait, ::usleep(1000))
            writing = entries(folder.path()).size() > after.size();
        ::usleep(50000);
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(writing) << "the export never started writing";
        // Each stops the export as Ctrl-C does, as the help says (status 1).
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << signal << ": " << status;
        EXPECT_EQ(entries(folder.path()), after) << signal;
        EXPECT_EQ(readFile(out), whole);
    }
}

TEST_P(ExportFaults, AFolderLeftByAKilledExportGoesWithTheNextExportAndOneInUseStays)
{
    addCases(30000);
    suiteWithDatabase();
    TempDir folder;
    // Not scratch folders of an export: a link named as one (to someone's
    // folder), a folder named otherwise.
    fs::create_directory(folder / "vittima");
    writeFile(folder / "vittima" / "dato", "intatto");
    fs::create_directory_symlink(folder / "vittima", folder / ".x.xlsx.0123456789abcdef.parziale");
    fs::create_directory(folder / ".x.xlsx.parziale");
    Names expected{"vittima", ".x.xlsx.0123456789abcdef.parziale", ".x.xlsx.parziale", "casi.xlsx", "altro.xlsx"};

    // The scratch folder of an export to `name`, once `ready` says so.
    const auto scratchOf = [&](const std::string& name, const std::function<bool(const fs::path&)>& ready) {
        for (int wait = 0; wait < 60000; ++wait, ::usleep(1000)) {
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                const std::string n = entry.path().filename().string();
                if (n.starts_with("." + name + ".") && n.ends_with(".parziale") && n.size() > name.size() + 11 &&
                    ready(entry.path()))
                    return entry.path();
            }
        }
        return fs::path();
    };
    // Whether a process holds the folder's lock: the lock of the open file, as the export takes it.
    const auto locked = [](const fs::path& scratch) {
        const int fd = ::open((scratch / kFileDiBlocco).c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) return false;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        ::close(fd);
        return held;
    };
    const auto exported = [&](const std::string& name) {
        return runCrvxml({"esporta", "--root", suite.paths().root.string(), "--campi", "posizione,memo", "--out",
                          (folder / name).string()},
                         "it_IT.UTF-8");
    };

    // Killed where nothing can clean up, however far it got: its folder stays behind.
    const pid_t killed = start(folder / "casi.xlsx");
    const fs::path left = scratchOf("casi.xlsx", [](const fs::path&) { return true; });
    ::kill(killed, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(killed, &status, 0), killed);
    ASSERT_FALSE(left.empty()) << "the export never made its folder";
    ASSERT_TRUE(fs::is_directory(left));
    EXPECT_FALSE(locked(left)) << "the lock goes with its process";

    // The next export to that folder removes it.
    const ProgramRun next = exported("casi.xlsx");
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_FALSE(fs::exists(left));
    EXPECT_EQ(readXlsx(folder / "casi.xlsx").rows.size(), 30001u);

    // Another export held still while it owns its folder: an export at the
    // same time leaves that folder alone.
    const pid_t held = start(folder / "altro.xlsx");
    const fs::path inUse = scratchOf("altro.xlsx", locked);
    ::kill(held, SIGSTOP);
    ASSERT_FALSE(inUse.empty()) << "the export never locked its folder";
    EXPECT_EQ(exported("casi.xlsx").status, 0);
    EXPECT_TRUE(fs::is_directory(inUse));
    EXPECT_TRUE(locked(inUse));

    // The one held goes on undisturbed.
    ::kill(held, SIGCONT);
    ASSERT_EQ(::waitpid(held, &status, 0), held);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readXlsx(folder / "altro.xlsx").rows.size(), 30001u);
    EXPECT_EQ(entries(folder.path()), expected);
    EXPECT_EQ(readFile(folder / "vittima" / "dato"), "intatto");

    // A folder without its lock file, as older versions left them, goes too: no
    // program can be writing into it.
    fs::create_directory(folder / ".casi.xlsx.00000000000000ff.parziale");
    writeFile(folder / ".casi.xlsx.00000000000000ff.parziale" / "casi.xlsx", std::string(4096, 'x'));
    EXPECT_EQ(exported("altro.xlsx").status, 0);
    EXPECT_EQ(entries(folder.path()), expected);
}

TEST_P(ExportFaults, AFolderWithoutWritePermissionIsNamedWithTheReason)
{
    addCase({{"posizione", "P1"}});
    suiteWithDatabase();
    TempDir folder;
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    const fs::path out = folder / "casi.xlsx";
    const std::string args = "esporta --root " + shellWord(suite.paths().root.string()) + " --out " + shellWord(out.string());
    // Root writes anywhere: then the program runs as nobody, who may read the
    // suite and its database but not write in the folder.
    const bool root = ::geteuid() == 0;
    if (!root) fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::remove);
    // The suite's register is one that user may append to, as on a shared suite.
    writeFile(fileRegistro(suite.paths()), "");
    fs::permissions(fileRegistro(suite.paths()), fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                                                      fs::perms::others_exec));
    const ProgramRun run =
        root ? runCrvxmlShell("--reuid=65534 --regid=65534 --clear-groups " + shellWord(CRVXML_BINARY) + " " + args,
                              "it_IT.UTF-8", "setpriv")
             : runCrvxmlShell(args, "it_IT.UTF-8");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Impossibile scrivere il file " + out.string() + ": permesso negato nella cartella " +
                           folder.path().string() + ". Nessun file scritto\n");
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

INSTANTIATE_TEST_SUITE_P(SQLite, ExportFaults, ::testing::Values(TestDb::SQLite), dialectName);

}  // namespace
}  // namespace crv::test
