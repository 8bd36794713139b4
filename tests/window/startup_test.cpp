// Start-up: caption, dates, restored settings, the text mode from the
// program's name, the bank presentation, and the start-ups that end the
// program.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include "app/settings.h"
#include "db/connection_string.h"
#include "window/file_list.h"
#include "window/tab_control.h"
#include "window_fixture.h"

namespace crv::test {
namespace {

using Startup = WindowTest;

QString databaseSuffix(const WindowSuite& suite)
{
    return QString::fromStdString(db::captionText(db::sqliteConnString(suite.database().string())));
}

TEST_F(Startup, CaptionDatesAndDesignState)
{
    ASSERT_TRUE(start());
    EXPECT_TRUE(answers.texts().isEmpty()) << answers.texts().join('|').toStdString();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Importazione Corvestra XML 1.20 -- ") + databaseSuffix(suite));
    EXPECT_FALSE(window->ModoTesto());
    EXPECT_FALSE(window->ModoDocumento());

    // Today and today + 30 days, four-digit years.
    const Regional it = Regional::italian();
    const auto affido = it.parseDate(scheda(1)->text().toStdString());
    const auto scadenza = it.parseDate(scheda(2)->text().toStdString());
    ASSERT_TRUE(affido && scadenza);
    EXPECT_EQ(scheda(1)->text(), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    EXPECT_EQ(std::chrono::sys_days{*scadenza} - std::chrono::sys_days{*affido}, std::chrono::days{30});

    EXPECT_EQ(scheda(0)->text(), QStringLiteral("CRV"));
    EXPECT_EQ(scheda(0)->maxLength(), 3);
    EXPECT_TRUE(scheda(0)->font().bold());
    EXPECT_EQ(scheda(1)->maxLength(), 10);
    EXPECT_EQ(scheda(9)->palette().color(QPalette::Base), QColor(255, 255, 192));
    EXPECT_TRUE(find<QCheckBox>("chkDettagli")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("ChkSoloTest")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("chkAgg_6")->isChecked());
    EXPECT_EQ(find<QCheckBox>("chkAgg_6")->toolTip(), QStringLiteral("Carica spese in Spese Recupero"));
    EXPECT_FALSE(find<QCheckBox>("Chk_Sezioni_da_Importare_1")->isEnabled());
    EXPECT_EQ(find<window::TabControl>("SSTab1")->currentIndex(), 0);
    EXPECT_TRUE(find<QPushButton>("Cmd_Importa_0")->isVisible());
    EXPECT_TRUE(find<QPushButton>("Cmd_Importa_1")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Cmd_Importa_2")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Cmd_Importa_3")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Cmd_Interrompi")->isEnabled());
}

TEST_F(Startup, ControlsSitAtTheirDesignPlaceInTwips)
{
    ASSERT_TRUE(start());
    const double perTwip = window->logicalDpiX() / 1440.0;
    const auto px = [perTwip](int twips) { return static_cast<int>(std::lround(twips * perTwip)); };
    // Scheda(6): 10560, 60, 1095, 315; on the tab, Cmd_Importa(0): 5640, 480, 3015, 375.
    EXPECT_EQ(scheda(6)->geometry(), QRect(px(10560), px(60), px(10560 + 1095) - px(10560), px(60 + 315) - px(60)));
    const QRect importa = find<QPushButton>("Cmd_Importa_0")->geometry();
    EXPECT_EQ(importa.topLeft(), QPoint(px(5640), px(480)));
    EXPECT_EQ(find<window::TabControl>("SSTab1")->y(), px(840));
}

TEST_F(Startup, SavedSettingsComeBack)
{
    WindowSettings saved;
    saved.mandato = "ABC";
    saved.intervento = "XY";
    saved.sitAffido = "Z";
    saved.sezioni = {1, 1, 1, 1, 0, 2};
    saved.dettagli = 0;
    saved.soloTest = 0;
    saved.spRec = 1;
    saved.intDaFile = 0;
    SalvaImpostazioni(suite.paths().crvXmlIni(), saved);

    ASSERT_TRUE(start());
    EXPECT_EQ(scheda(0)->text(), QStringLiteral("ABC"));
    EXPECT_EQ(scheda(3)->text(), QStringLiteral("XY"));
    EXPECT_EQ(scheda(4)->text(), QStringLiteral("Z"));
    EXPECT_EQ(find<QCheckBox>("Chk_Sezioni_da_Importare_4")->checkState(), Qt::Unchecked);
    EXPECT_EQ(find<QCheckBox>("Chk_Sezioni_da_Importare_5")->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(find<QCheckBox>("chkDettagli")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("ChkSoloTest")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("chkAgg_6")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("chkAgg_16")->isChecked());
}

TEST_F(Startup, SaveButtonWritesWhatTheNextStartRestores)
{
    ASSERT_TRUE(start());
    scheda(0)->clear();
    QTest::keyClicks(scheda(0), QStringLiteral("ZZZZ"));  // at most 3 characters
    QTest::mouseClick(find<QCheckBox>("ChkSoloTest"), Qt::LeftButton);
    QTest::mouseClick(find<QCheckBox>("Chk_Sezioni_da_Importare_4"), Qt::LeftButton);
    click("Cmd_Salva_Impostazioni");
    EXPECT_TRUE(answers.texts().isEmpty()) << "no box to close";
    // The status line says it was saved, and where.
    const QString status = find<QStatusBar>("Stato")->currentMessage();
    EXPECT_TRUE(status.startsWith(QStringLiteral("Impostazioni salvate alle "))) << status.toStdString();
    EXPECT_TRUE(status.endsWith(QStringLiteral(" in ") + QString::fromStdString(suite.paths().crvXmlIni().string())))
        << status.toStdString();
    const std::string bytes = readFile(suite.paths().crvXmlIni());
    EXPECT_EQ(bytes, "ZZZ\r\nMO\r\nA\r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n 1 \r\n 0 \r\n 0 \r\n 1 \r\n 0 \r\n 0 \r\n");

    ASSERT_TRUE(start());
    EXPECT_EQ(scheda(0)->text(), QStringLiteral("ZZZ"));
    EXPECT_FALSE(find<QCheckBox>("ChkSoloTest")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("Chk_Sezioni_da_Importare_4")->isChecked());
}

TEST_F(Startup, AFailedSaveIsShownAndKeepsTheOldFile)
{
    ASSERT_TRUE(start());
    std::filesystem::create_directories(suite.paths().crvXmlIni());  // a folder where the file goes
    click("Cmd_Salva_Impostazioni");
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_TRUE(answers.texts()[0].startsWith(QStringLiteral("Impossibile salvare le impostazioni nel file ")))
        << answers.texts()[0].toStdString();
    EXPECT_TRUE(std::filesystem::is_directory(suite.paths().crvXmlIni()));
    EXPECT_TRUE(find<QStatusBar>("Stato")->currentMessage().isEmpty()) << "nothing said saved";
}

TEST_F(Startup, ASaveOfAValueTheFileCannotKeepIsRefused)
{
    ASSERT_TRUE(start());
    click("Cmd_Salva_Impostazioni");
    const std::string before = readFile(suite.paths().crvXmlIni());
    scheda(0)->clear();
    QTest::keyClicks(scheda(0), QStringLiteral("A,B"));
    click("Cmd_Salva_Impostazioni");
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_TRUE(answers.texts()[0].contains(QStringLiteral("Mandato contiene una virgola")))
        << answers.texts()[0].toStdString();
    EXPECT_EQ(readFile(suite.paths().crvXmlIni()), before);
}

TEST_F(Startup, ANameHoldingRoveStartsTheTextMode)
{
    ASSERT_TRUE(start("/opt/vex32/CrvROVE.bin"));
    EXPECT_TRUE(window->ModoTesto());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Importazione ROVE  1.20 -- ") + databaseSuffix(suite));
    EXPECT_FALSE(find<QPushButton>("Cmd_Importa_0")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Cmd_Importa_1")->isVisible());
    EXPECT_TRUE(find<QPushButton>("Cmd_Importa_2")->isVisible()) << "the text mode needs its own button";

    // Only the program's own name counts, not its folder.
    ASSERT_TRUE(start("/home/rove/crvxml"));
    EXPECT_FALSE(window->ModoTesto());
}

TEST_F(Startup, BankPresentationFromTheInstallation)
{
    suite.addImportFile("banca/due_pratiche.xml");
    suite.addImportFile("corvestra/completo.xml");
    suite.writeInstallation("presentazione=Banca\r\nfattura_elettronica=si\r\n");
    ASSERT_TRUE(start());
    EXPECT_TRUE(window->ModoDocumento());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Importazione XML DEZ/ZUZOZUR 1.20 -- ") + databaseSuffix(suite));
    EXPECT_EQ(scheda(0)->text(), QStringLiteral("DEZ"));
    // The first file is selected and described.
    EXPECT_EQ(find<QLabel>("LBLFILEIMPORT")->text(), QStringLiteral("completo.xml"));
    const auto size = std::filesystem::file_size(suite.paths().importDir() / "completo.xml");
    EXPECT_TRUE(find<QLabel>("lblfileinfo")->text().endsWith(QStringLiteral(" %1 bytes").arg(size)));
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(find<QCheckBox>(("Chk_Sezioni_da_Importare_" + std::to_string(i)).c_str())->isVisible());
    EXPECT_TRUE(find<QPushButton>("Cmd_Importa_3")->isVisible());
    EXPECT_FALSE(find<QPushButton>("Cmd_Importa_2")->isVisible());
}

TEST_F(Startup, BankPresentationKeepsAnotherMandateAndAnEmptyFolder)
{
    WindowSettings saved;
    saved.mandato = "BNK";
    SalvaImpostazioni(suite.paths().crvXmlIni(), saved);
    suite.writeInstallation("presentazione=banca\r\n");
    ASSERT_TRUE(start());
    EXPECT_EQ(scheda(0)->text(), QStringLiteral("BNK"));
    EXPECT_TRUE(find<QLabel>("LBLFILEIMPORT")->text().isEmpty());
}

// Without its import folder the program ends, saying what of the suite root
// is missing and how to make one or choose another.
TEST_F(Startup, AMissingSuiteRootEndsTheProgramSayingHowToMakeOne)
{
    const SuitePaths& paths = suite.paths();
    const std::string root = paths.root.string();
    struct Case {
        std::vector<std::filesystem::path> removed;
        std::string missing;
    };
    const Case cases[] = {
        {{paths.importDir()}, "La radice della suite " + root + " non ha la cartella import/."},
        {{paths.importDir(), paths.dataDir()}, "La radice della suite " + root + " non ha la cartella import/ né la cartella dati/."},
        {{paths.root}, "La radice della suite " + root + " non esiste."},
    };
    qunsetenv("VEX32_ROOT");
    for (const Case& c : cases) {
        for (const auto& folder : c.removed) std::filesystem::remove_all(folder);
        window.reset();
        EXPECT_FALSE(start());
        ASSERT_FALSE(answers.texts().isEmpty());
        EXPECT_EQ(answers.texts().back().toStdString(),
                  "Cartella non trovata: " + paths.importDir().string() + "\n\n" + c.missing +
                      "\nPer crearla, con un archivio SQLite vuoto: crvxml init-db --radice " + root +
                      "\nPer usare un'altra radice: crvxml --radice CARTELLA, oppure la variabile d'ambiente "
                      "VEX32_ROOT (ora non impostata).");
    }
}

TEST_F(Startup, AccessCheckedWithoutItsArchiveEndsTheProgram)
{
    WindowSettings saved;
    saved.usaAccess = 1;
    SalvaImpostazioni(suite.paths().crvXmlIni(), saved);
    EXPECT_FALSE(start());
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_EQ(answers.texts()[0], QStringLiteral("Archivio Access NON trovato. Il programma termina"));
}

TEST_F(Startup, ADatabaseThatDoesNotOpenLeavesTheCaptionBare)
{
    writeFile(suite.paths().vex32Ini(), "connstring=Provider=SQLite;Data Source=" +
                                            (suite.paths().dataDir() / "manca.sqlite").string() + "\r\n");
    ASSERT_TRUE(start());
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_TRUE(answers.texts()[0].contains(QStringLiteral("manca.sqlite"))) << answers.texts()[0].toStdString();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Importazione Corvestra XML 1.20"));
}

// The program's window started as a process on Qt's offscreen platform, its
// environment changed by `env` (no value: removed). Stopped once its start-up
// watches the import folder, which comes after Qt's own start; returns what
// it wrote on standard error.
std::string startErrors(const WindowSuite& suite, const std::map<std::string, std::optional<std::string>>& env)
{
    namespace fs = std::filesystem;
    std::vector<std::string> words;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (!env.contains(entry.substr(0, entry.find('=')))) words.push_back(entry);
    }
    for (const auto& [name, value] : env)
        if (value) words.push_back(name + "=" + *value);
    words.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& w : words) envp.push_back(w.data());
    envp.push_back(nullptr);
    std::string binary = CRVXML_BINARY, option = "--radice", root = suite.paths().root.string();
    char* const argv[] = {binary.data(), option.data(), root.data(), nullptr};

    const TempDir out;
    const fs::path errors = out / "stderr";
    const int errorFd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(nullFd, 0);
        ::dup2(nullFd, 1);
        ::dup2(errorFd, 2);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(errorFd);
    ::close(nullFd);

    // The folder's watch shows among the process's open files (inotify).
    struct stat folder {};
    EXPECT_EQ(::stat(suite.paths().importDir().c_str(), &folder), 0);
    char inode[32];
    std::snprintf(inode, sizeof inode, "ino:%lx ", static_cast<unsigned long>(folder.st_ino));
    const auto watching = [&] {
        std::error_code ec;
        for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fdinfo", ec), end; !ec && it != end;
             it.increment(ec)) {
            std::ifstream in(it->path());
            const std::string info{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (info.find("inotify wd:") != std::string::npos && info.find(inode) != std::string::npos) return true;
        }
        return false;
    };
    int status = 0;
    bool started = false, ended = false;
    for (int i = 0; i < 6000 && !started && !ended; ++i) {
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        started = !ended && watching();
        if (!started && !ended) ::usleep(10000);
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(started) << "the window did not start: " << readFile(errors);
    return readFile(errors);
}

TEST_F(Startup, QtFindsItsRuntimeFolderWithoutARemark)
{
    namespace fs = std::filesystem;
    const passwd* const user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const std::string own = std::string("runtime-") + user->pw_name;
    const auto mode = [](const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; };
    const auto made = [](const fs::path& tmp) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tmp)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const struct {
        const char* what;
        std::optional<std::string> variable;  // in the temporary folder; none: not set
        bool takenBefore;                      // Qt's own choice there already, open to all
    } cases[] = {
        {"not set", std::nullopt, false},
        {"not set, Qt's choice open to all", std::nullopt, true},
        {"a folder open to all", "aperta", false},
        {"a private folder", "privata", false},
    };
    for (const auto& c : cases) {
        const TempDir tmp;
        std::map<std::string, std::optional<std::string>> env{{"TMPDIR", tmp.path().string()}, {"XDG_RUNTIME_DIR", {}}};
        if (c.variable) {
            fs::create_directory(tmp / *c.variable);
            fs::permissions(tmp / *c.variable, *c.variable == "privata" ? fs::perms::owner_all : fs::perms::all);
            env["XDG_RUNTIME_DIR"] = (tmp / *c.variable).string();
        }
        if (c.takenBefore) {
            fs::create_directory(tmp / own);
            fs::permissions(tmp / own, fs::perms::all);
        }
        const std::string errors = startErrors(suite, env);
        EXPECT_EQ(errors.find("XDG_RUNTIME_DIR"), std::string::npos) << c.what << ": " << errors;
        EXPECT_EQ(errors.find("QStandardPaths"), std::string::npos) << c.what << ": " << errors;
        const std::vector<std::string> names = made(tmp.path());
        if (c.variable == "privata") {
            EXPECT_EQ(names, std::vector<std::string>{"privata"}) << c.what << ": nothing else made";
        } else if (c.takenBefore) {
            // Left as it was; a private one of the program's own instead.
            EXPECT_EQ(mode(tmp / own), fs::perms::all) << c.what;
            ASSERT_EQ(names.size(), 2u) << c.what;
            EXPECT_TRUE(names[0].starts_with("crvxml-runtime-")) << names[0];
            EXPECT_EQ(mode(tmp / names[0]), fs::perms::owner_all) << c.what;
        } else {
            EXPECT_TRUE(std::find(names.begin(), names.end(), own) != names.end()) << c.what;
            EXPECT_EQ(mode(tmp / own), fs::perms::owner_all) << c.what;
        }
    }
}

}  // namespace
}  // namespace crv::test
