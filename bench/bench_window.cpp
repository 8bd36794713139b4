// crvxml-bench-window: a test-mode import through the window's listing,
// headless, beside the command line's import of the same file with its
// listing sent to a null sink; and the longest pause of the window's event
// loop while the run goes on. Dettagli is on in both, as the window starts.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QAbstractButton>
#include <QTimer>

#include "cpu_clock.h"
#include "window/file_list.h"
#include "window/listing_view.h"
#include "window/main_window.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kUsage =
    "Uso: crvxml-bench-window [--bank] [--repeat R] FILE\n"
    "\n"
    "Importa FILE in prova (Solo Test, Dettagli) due volte:\n"
    "  riga di comando: crvxml import, listato su /dev/null (processo a parte)\n"
    "  finestra: la finestra vera sulla piattaforma offscreen, listato in List1\n"
    "e misura i tempi, la memoria e la pausa piu' lunga del ciclo degli eventi\n"
    "della finestra durante l'importazione, e quando la finestra mostra la prima\n"
    "pratica. Poi preme Interrompi alla prima pratica e a meta' del tempo della\n"
    "riga di comando e misura quanto tarda la fine. Obiettivi: finestra / riga di\n"
    "comando <= 1,1; nessuna pausa oltre 100 ms; prima pratica entro 0,5 s;\n"
    "Interrompi entro 0,3 s.\n";

struct Measure {
    double seconds = 0;
    double cpu = 0;
    long peakMb = 0;
    double longestPauseMs = 0;
    double pauseAtSeconds = 0;  // when the longest pause ended, from the start of the run
    int pausesOver50 = 0;
    long long lines = 0;
    double firstCaseSeconds = -1;  // the listing's second line shown, from the press of the button
    double stopSeconds = -1;       // from the press of Interrompi to the run's message
    bool ok = false;
};

// When the window's run is stopped: never (< 0), at the first case's line
// (0), or this many seconds after the start.
using StopAt = double;
constexpr StopAt kNoStop = -1;
constexpr StopAt kAtFirstCase = 0;

long selfPeakMb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb / 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// The command line's import, listing to /dev/null, in a child process.
Measure commandLine(const fs::path& root, const std::string& name, bool bank)
{
    std::vector<std::string> args = {CRVXML_BINARY, "import", "--root", root.string(), "--test", "--details"};
    if (bank) args.emplace_back("--bank");
    args.push_back(name);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    Measure m;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        return m;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&files);
    m.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakMb = usage.ru_maxrss / 1024;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

// The window's run: from the press of "Importa" (after the confirmation) to
// the message "Importazione Conclusa".
Measure windowRun(const fs::path& root, const std::string& name, bool bank, StopAt stopAt = kNoStop)
{
    Measure m;
    if (bank) std::ofstream(root / "dati" / "Crv_XML_installazione.ini") << "presentazione=banca\r\n";
    crv::window::MainWindow window(crv::window::WindowConfig{crv::resolveSuitePaths(root.string()),
                                                             crv::Regional::italian(), "crvxml"});

    // Message boxes are answered as an operator would: Yes to the question,
    // OK to the rest; the time the run's last message appears ends the run.
    Clock::time_point runStart{}, runEnd{}, stopPressed{};
    bool concluded = false;
    const auto expected = stopAt >= 0 ? QStringLiteral("Importazione interrotta dall'operatore")
                                      : QStringLiteral("Importazione Conclusa");
    QTimer answer;
    answer.setInterval(2);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        if (box->text().startsWith(QStringLiteral("Confermi importazione?"))) {
            box->button(QMessageBox::Yes)->click();
            return;
        }
        if (runStart != Clock::time_point{} && runEnd == Clock::time_point{}) {
            runEnd = Clock::now();
            concluded = box->text().startsWith(expected);
        }
        if (QAbstractButton* const ok = box->button(QMessageBox::Ok)) ok->click();
        else box->reject();
    });
    answer.start();
    if (!window.Form_Load()) return m;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return m;

    auto* const files = window.findChild<crv::window::FileList*>(QStringLiteral("File1"));
    const auto items = files->findItems(QString::fromStdString(name), Qt::MatchExactly);
    if (items.isEmpty()) return m;
    files->setCurrentItem(items.front());

    // The event loop's pauses: the gaps between the ticks of a 5 ms timer.
    Clock::time_point lastTick{};
    double longest = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(5);
    auto* const list = window.findChild<crv::window::ListingView*>(QStringLiteral("List1"));
    auto* const interrompi = window.findChild<QPushButton*>(QStringLiteral("Cmd_Interrompi"));
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (runStart != Clock::time_point{} && m.firstCaseSeconds < 0 && list->lineCount() >= 2)
            m.firstCaseSeconds = std::chrono::duration<double>(now - runStart).count();
        const bool stopNow = stopAt == kAtFirstCase ? m.firstCaseSeconds >= 0
                                                    : stopAt > 0 && std::chrono::duration<double>(now - runStart).count() >= stopAt;
        if (stopNow && stopPressed == Clock::time_point{} && window.importInCorso() && runEnd == Clock::time_point{}) {
            stopPressed = Clock::now();
            interrompi->click();
        }
        if (lastTick != Clock::time_point{} && runEnd == Clock::time_point{}) {
            const double gap = std::chrono::duration<double, std::milli>(now - lastTick).count();
            if (gap > 50) ++m.pausesOver50;
            if (gap > longest) {
                longest = gap;
                m.pauseAtSeconds = std::chrono::duration<double>(now - runStart).count();
            }
        }
        lastTick = now;
    });

    const double cpuBefore = crv::bench::CpuClock::now();
    auto* const importa = window.findChild<QPushButton*>(QString::fromLatin1(bank ? "Cmd_Importa_1" : "Cmd_Importa_0"));
    QTimer::singleShot(0, [&] {
        ticks.start();
        runStart = Clock::now();
        importa->click();
    });
    while (runStart == Clock::time_point{} || window.importInCorso()) QTest::qWait(5);
    m.cpu = crv::bench::CpuClock::now() - cpuBefore;
    m.seconds = std::chrono::duration<double>(runEnd - runStart).count();
    if (stopPressed != Clock::time_point{}) m.stopSeconds = std::chrono::duration<double>(runEnd - stopPressed).count();
    m.longestPauseMs = longest;
    m.lines = list->lineCount();
    m.peakMb = selfPeakMb();
    m.ok = concluded;
    return m;
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    bool bank = false;
    int repeat = 1;
    fs::path file;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--bank") {
            bank = true;
        } else if (a == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (a.rfind("--", 0) == 0 || !file.empty()) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            file = a;
        }
    }
    if (file.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("crvxml"));

    // A scratch suite root whose import folder holds a link to the file.
    const fs::path root = fs::temp_directory_path() / ("crvxml-bench-window-" + std::to_string(getpid()));
    fs::create_directories(root / "import");
    fs::create_directories(root / "dati");
    const std::string name = file.filename().string();
    fs::create_symlink(fs::absolute(file), root / "import" / name);

    Measure cli, win;
    long cliPeak = 0;
    for (int r = 0; r < repeat; ++r) {
        const Measure c = commandLine(root, name, bank);
        // The child's peak counts the memory of this process at the spawn:
        // only the first one, taken before any window run, is the child's own.
        if (r == 0) cliPeak = c.peakMb;
        if (!cli.ok || (c.ok && c.seconds < cli.seconds)) cli = c;
        const Measure w = windowRun(root, name, bank);
        if (!win.ok || (w.ok && w.seconds < win.seconds)) win = w;
    }
    const Measure atFirst = windowRun(root, name, bank, kAtFirstCase);
    const Measure halfway = windowRun(root, name, bank, std::max(0.05, cli.seconds / 2));
    fs::remove_all(root);
    cli.peakMb = cliPeak;

    const double mb = static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0);
    std::printf("file: %s, %.0f MB\n", file.c_str(), mb);
    std::printf("%-40s %8s %8s %8s %10s\n", "misura", "s", "cpu s", "picco MB", "pausa ms");
    std::printf("%-40s %8.2f %8.2f %8ld %10s %s\n", "riga di comando, listato su /dev/null", cli.seconds, cli.cpu,
                cli.peakMb, "-", cli.ok ? "" : "(NON riuscita)");
    std::printf("%-40s %8.2f %8.2f %8ld %10.1f %s\n", "finestra, listato in List1", win.seconds, win.cpu, win.peakMb,
                win.longestPauseMs, win.ok ? "" : "(NON riuscita)");
    std::printf("righe del listato: %lld; pausa piu' lunga finita a %.2f s dall'inizio; pause oltre 50 ms: %d\n",
                win.lines, win.pauseAtSeconds, win.pausesOver50);
    const double ratio = cli.seconds > 0 ? win.seconds / cli.seconds : 0;
    std::printf("finestra / riga di comando: %.2f (obiettivo 1,1); pausa piu' lunga %.1f ms (obiettivo 100)\n", ratio,
                win.longestPauseMs);
    std::printf("prima pratica nella finestra: %.3f s dalla pressione del pulsante (obiettivo 0,5)\n",
                win.firstCaseSeconds);
    bool stopsOk = true;
    for (const auto& [what, stop] : {std::pair{"alla prima pratica", atFirst}, std::pair{"a meta' del tempo", halfway}}) {
        const bool good = stop.ok && stop.stopSeconds >= 0 && stop.stopSeconds <= 0.3;
        stopsOk = stopsOk && good;
        std::printf("Interrompi %-20s %.3f s fino al messaggio (obiettivo 0,3) %s\n", what, stop.stopSeconds,
                    good ? "" : "(MANCATO)");
    }
    return cli.ok && win.ok && ratio <= 1.1 && win.longestPauseMs <= 100 && win.firstCaseSeconds >= 0 &&
                   win.firstCaseSeconds <= 0.5 && stopsOk
               ? 0
               : 1;
}
