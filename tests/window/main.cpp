// The window tests need a QApplication; they run on Qt's offscreen platform
// unless another one is asked for.
#include <cstdlib>

#include <gtest/gtest.h>

#include <QApplication>

#include "support/test_support.h"
#include "window/qt_italiano.h"
#include "window/runtime_folder.h"
#include "window/signal_stop.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt's own settings (the file dialogs' history, QtProject.conf) go to a
    // scratch folder, not into the user's: a test writes nothing in HOME.
    const crv::test::TempDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().c_str(), 1);
    const crv::window::CartellaRuntime runtime;  // as the program does
    const crv::window::SignalStop segnali;        // as the program does, before Qt's threads
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("crvxml"));
    crv::window::installaTraduzioneQt();  // as the program does
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
