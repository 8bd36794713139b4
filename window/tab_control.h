#pragma once
// The tab control (SSTab1): a row of tabs across the top and one page per
// tab. Unlike QTabWidget, a page covers the whole control, tab row included,
// so the controls on it keep their design positions, which count from the
// control's top-left corner.
#include <vector>

#include <QTabBar>
#include <QWidget>

namespace crv::window {

class TabControl : public QWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);

    // Adds a tab with its caption; returns its page, on which controls go.
    QWidget* addTab(const QString& caption);
    // The page of a tab.
    QWidget* page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }
    // The tab shown.
    int currentIndex() const { return bar_->currentIndex(); }
    // Shows a tab, as a click on it does.
    void setCurrentIndex(int index) { bar_->setCurrentIndex(index); }
    // The row of tabs.
    QTabBar* tabBar() const { return bar_; }

signals:
    // The tab shown now; `previous` the one shown before.
    void currentChanged(int index, int previous);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void show(int index);

    QTabBar* bar_;
    std::vector<QWidget*> pages_;
    int shown_ = -1;
};

}  // namespace crv::window
