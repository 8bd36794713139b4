#include "window/qt_italiano.h"

#include <memory>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace crv::window {

bool installaTraduzioneQt()
{
    QCoreApplication* const app = QCoreApplication::instance();
    if (app == nullptr) return false;
    auto translator = std::make_unique<QTranslator>(app);
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.release());  // the application owns it
    return true;
}

}  // namespace crv::window
