#include "cli/gui_session.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>

namespace crv::cli {
namespace {

QtMessageHandler previousHandler = nullptr;

// Qt's remark about a missing XDG_RUNTIME_DIR says nothing to the operator
// of a headless command; every other message goes through.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg && message.contains(QLatin1String("XDG_RUNTIME_DIR"))) return;
    if (previousHandler != nullptr) {
        previousHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}

int argcStore = 1;
char programName[] = "crvxml";
char* argvStore[] = {programName, nullptr};

}  // namespace

OffscreenGui::OffscreenGui()
{
    if (QCoreApplication::instance() != nullptr) return;  // a caller's application already runs
    qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietHandler);
    app_ = std::make_unique<QGuiApplication>(argcStore, argvStore);
}

OffscreenGui::~OffscreenGui()
{
    if (!app_) return;
    app_.reset();
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

}  // namespace crv::cli
