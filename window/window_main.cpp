#include "window/window_main.h"

#include <cstdio>
#include <cstring>

#include <QApplication>

#include "window/main_window.h"
#include "window/qt_italiano.h"
#include "window/runtime_folder.h"
#include "window/signal_stop.h"

namespace crv::window {

namespace {

// Whether Qt has a screen to open the window on. Without one it ends the
// program with an abort and an English message of its own; the operator of a
// session without graphics (a terminal over ssh) gets an Italian one instead.
bool schermoDisponibile(int argc, char** argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0) return true;
    return false;
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

}  // namespace

int avviaFinestra(int& argc, char** argv, const SuitePaths& paths, const Regional& regional)
{
    if (!schermoDisponibile(argc, argv)) {
        std::fputs("Nessuno schermo grafico (DISPLAY e WAYLAND_DISPLAY non impostate): la finestra non si apre.\n"
                   "I comandi funzionano anche senza schermo: crvxml --aiuto\n",
                   stderr);
        return 1;
    }
    // Chosen before Qt looks for it, which it does as the application starts.
    const CartellaRuntime runtime;
    // Before Qt starts a thread of its own.
    const SignalStop segnali;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("crvxml"));
    QApplication::setApplicationVersion(QStringLiteral(CRVXML_VERSION));
    installaTraduzioneQt();
    MainWindow window(WindowConfig{paths, regional, argc > 0 ? std::string(argv[0]) : std::string()});
    if (!window.Form_Load()) return 1;
    // A signal during the start-up: the window is not shown at all.
    QCoreApplication::sendPostedEvents(&window);
    if (window.terminataDaSegnale()) return 0;
    window.show();
    const int status = QApplication::exec();
    return window.interrottaDaSegnale() ? 1 : status;
}

}  // namespace crv::window
