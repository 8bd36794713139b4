#include "window/window_main.h"

#include <QApplication>

#include "window/main_window.h"

namespace crv::window {

int avviaFinestra(int& argc, char** argv, const SuitePaths& paths, const Regional& regional)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("crvxml"));
    QApplication::setApplicationVersion(QStringLiteral(CRVXML_VERSION));
    MainWindow window(WindowConfig{paths, regional, argc > 0 ? std::string(argv[0]) : std::string()});
    if (!window.Form_Load()) return 1;
    window.show();
    return QApplication::exec();
}

}  // namespace crv::window
