#pragma once
// Answers the application's message boxes while a test (or the screenshot
// run) drives the window: a timer looks for a modal QMessageBox, keeps its
// text and presses the button queued for it, else the box's default button.
#include <deque>
#include <functional>

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace crv::test {

class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    // The answer to the next box that opens.
    void answerNext(QMessageBox::StandardButton button) { answers_.push_back(button); }
    // The texts of the boxes answered so far, in order.
    const QStringList& texts() const { return texts_; }
    // Called with each box before it is answered (to take its picture).
    std::function<void(QMessageBox&)> onShown;
    // The default button of the last box answered.
    QMessageBox::StandardButton lastDefault() const { return lastDefault_; }

private:
    void poll();

    QTimer timer_;
    std::deque<QMessageBox::StandardButton> answers_;
    QStringList texts_;
    QPointer<QMessageBox> handled_;
    QMessageBox::StandardButton lastDefault_ = QMessageBox::NoButton;
};

// Processes events until `done` holds or `ms` milliseconds have passed.
bool waitFor(const std::function<bool()>& done, int ms = 20000);

}  // namespace crv::test
