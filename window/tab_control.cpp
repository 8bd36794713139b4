#include "window/tab_control.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace crv::window {

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this))
{
    bar_->setObjectName(QStringLiteral("SSTab1_tabs"));
    bar_->setExpanding(true);
    bar_->setDrawBase(false);
    connect(bar_, &QTabBar::currentChanged, this, &TabControl::show);
}

QWidget* TabControl::addTab(const QString& caption)
{
    auto* const page = new QWidget(this);
    page->setGeometry(rect());
    page->setVisible(false);
    pages_.push_back(page);
    bar_->addTab(caption);
    bar_->raise();
    if (pages_.size() == 1) show(0);
    return page;
}

void TabControl::show(int index)
{
    if (index == shown_ || index < 0 || index >= static_cast<int>(pages_.size())) return;
    const int previous = shown_;
    for (std::size_t i = 0; i < pages_.size(); ++i) pages_[i]->setVisible(static_cast<int>(i) == index);
    bar_->raise();
    shown_ = index;
    if (previous >= 0) emit currentChanged(index, previous);
}

void TabControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
    for (QWidget* page : pages_) page->setGeometry(rect());
}

void TabControl::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    const int barHeight = bar_->sizeHint().height();
    frame.rect = QRect(0, barHeight - 1, width(), height() - barHeight + 1);
    frame.tabBarSize = QSize(width(), barHeight);
    frame.shape = QTabBar::RoundedNorth;
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}

}  // namespace crv::window
