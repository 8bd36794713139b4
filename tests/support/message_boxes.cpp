#include "support/message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>

namespace crv::test {

MessageBoxAnswerer::MessageBoxAnswerer()
{
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

void MessageBoxAnswerer::poll()
{
    auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == handled_ || !box->isVisible()) return;
    handled_ = box;
    texts_.push_back(box->text());
    QAbstractButton* const defaultButton = box->defaultButton();
    lastDefault_ = defaultButton ? box->standardButton(defaultButton) : QMessageBox::NoButton;
    if (onShown) onShown(*box);
    QMessageBox::StandardButton answer = lastDefault_;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    QAbstractButton* const button = box->button(answer != QMessageBox::NoButton ? answer : QMessageBox::Ok);
    if (button)
        button->click();
    else
        box->reject();
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    return QTest::qWaitFor(done, ms);
}

}  // namespace crv::test
