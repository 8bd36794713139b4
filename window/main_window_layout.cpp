// The window's layout on resizing, and the place of the invoice page.
#include <algorithm>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScrollArea>

#include "window/file_list.h"
#include "window/listing_view.h"
#include "window/main_window.h"
#include "window/tab_control.h"

namespace crv::window {

namespace {

// A size the rules compute below zero on a very small window stays at zero.
int atLeastZero(int computed)
{
    return std::max(0, computed);
}

void moveLeft(QWidget* w, int left)
{
    w->move(left, w->y());
}

}  // namespace

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void MainWindow::Form_Resize()
{
    if (isMinimized()) return;
    const int W = width();
    const int H = height();
    // 1. The tab control takes the width and the height below its top.
    c_.SSTab1->resize(W, atLeastZero(H - c_.SSTab1->y()));
    // 2. The file list and its labels stay glued to the right edge.
    moveLeft(c_.File1, W - c_.File1->width());
    moveLeft(c_.LBLFILEIMPORT, c_.File1->x());
    moveLeft(c_.lblfileinfo, c_.File1->x());
    moveLeft(c_.Check1, c_.File1->x());
    // 3. The listing takes the rest of the width and the height below its top.
    c_.List1->resize(atLeastZero(c_.SSTab1->width() - c_.File1->width() - c_.List1->x()),
                     atLeastZero(c_.SSTab1->height() - c_.List1->y()));
    // 4. The filter box keeps its distance from the right edge.
    moveLeft(c_.Scheda[10], c_.SSTab1->width() - c_.Scheda[10]->width() - twips_.px(200));
    // 5. The invoice page over the listing, to the window's right edge.
    c_.Pic_Fatt->setGeometry(c_.List1->x(), c_.List1->y(), atLeastZero(W - c_.List1->x()), c_.List1->height());
}

void MainWindow::mostraPaginaFattura()
{
    c_.List1->setVisible(false);
    if (!isMaximized()) showMaximized();
    Form_Resize();
    c_.Pic_Fatt->setGeometry(c_.List1->x(), c_.List1->y(), twips_.px(16999),
                             atLeastZero(c_.SSTab1->height() - c_.List1->y() - twips_.px(100)));
    c_.Pic_Fatt->setVisible(true);
    c_.Pic_Fatt->raise();
    c_.Pic_Fatt->setFocus();
}

void MainWindow::escapePressed()
{
    if (c_.Pic_Fatt->isHidden()) return;
    c_.Pic_Fatt->setVisible(false);
    c_.List1->setVisible(true);
}

}  // namespace crv::window
