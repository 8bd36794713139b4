#pragma once
// A test that drives the real window over a scratch suite root, answering
// its message boxes as an operator would.
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "support/message_boxes.h"
#include "db/database.h"
#include "support/window_suite.h"
#include "window/main_window.h"

// Texts in readable form in the failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace crv::test {

class WindowTest : public ::testing::Test {
protected:
    // Creates the window and runs its start-up; shows it when it succeeds.
    bool start(const std::string& program = "/usr/bin/crvxml");

    // A control by its design name ("Scheda_5"); fails the test when missing.
    template <typename T>
    T* find(const char* name) const
    {
        T* const widget = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* scheda(int index) const;
    // Clicks a button with the mouse.
    void click(const char* button) const;
    // Clicks a file of the file list.
    void selectFile(const QString& name) const;
    // Presses an import button, answers the confirmation and waits for the run to end.
    void importWith(const char* button, QMessageBox::StandardButton answer = QMessageBox::Yes);
    // Every line of the listing.
    QStringList listing() const;
    // A second connection to the suite's archive holding its import lock, as
    // another operator's run holds it.
    std::unique_ptr<db::Database> holdArchive() const;
    // Waits until the status line says that a run waits for another (true),
    // or `running` turns false.
    bool saysItWaits(const std::function<bool()>& running) const;

    WindowSuite suite;
    MessageBoxAnswerer answers;
    std::unique_ptr<window::MainWindow> window;
};

}  // namespace crv::test
