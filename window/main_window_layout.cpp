// The window's layout on resizing, and the invoice page shown in place of
// the listing.
#include <algorithm>
#include <initializer_list>

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <QStyle>

#include "window/file_list.h"
#include "window/full_invoice_view.h"
#include "window/invoice_view.h"
#include "window/listing_view.h"
#include "window/main_window.h"
#include "window/message_box.h"
#include "window/tab_control.h"

namespace crv::window {

namespace {

// A size the rules compute below zero on a very small window stays at zero.
int atLeastZero(int computed)
{
    return std::max(0, computed);
}

// The least room the listing needs to be read, in twips: some twenty
// columns and five lines.
constexpr int kListingMinimumWidth = 1500;
constexpr int kListingMinimumHeight = 1200;

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
    // The status line along the bottom edge; the tab control ends above it.
    const int status = c_.Stato->sizeHint().height();
    c_.Stato->setGeometry(0, atLeastZero(H - status), W, status);
    // 1. The tab control takes the width and the height below its top.
    c_.SSTab1->resize(W, atLeastZero(H - status - c_.SSTab1->y()));
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
    c_.Pic_Fatt_Completa->setGeometry(c_.Pic_Fatt->geometry());
    // A page shown in the maximised window keeps the place "Fatt.Elett" gave
    // it: the window manager maximises the window after the press, and that
    // resize must not undo the placement that follows the maximising.
    if (isMaximized() && (!c_.Pic_Fatt->isHidden() || !c_.Pic_Fatt_Completa->isHidden())) placePicFatt();
}

QSize MainWindow::dimensioneMinima() const
{
    // Everything at its design place in sight: the strip, and the controls
    // of the tabs that the layout rules do not move.
    int right = 0;
    int bottom = 0;
    const auto include = [&](const QWidget* w) {
        const QPoint corner = w->mapTo(this, QPoint(w->width(), w->height()));
        right = std::max(right, corner.x());
        bottom = std::max(bottom, corner.y());
    };
    for (const QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w != c_.SSTab1 && w != c_.Stato) include(w);
    }
    for (const QWidget* w : c_.Cmd_Importa) include(w);
    for (const QWidget* w : c_.cmd_Varie) include(w);
    for (const QWidget* w : std::initializer_list<const QWidget*>{c_.Txt_Interlinea, c_.Frame1, c_.TxtCampi,
                                                                   c_.Command1, c_.lblfileinfo})
        include(w);
    // The controls glued to the right edge stay clear of those left of
    // them: the filter box of the section frame (they share its rows), the
    // file list of a listing some columns wide.
    const int gap = twips_.px(60);
    right = std::max(right, c_.Frame1->mapTo(this, QPoint(c_.Frame1->width(), 0)).x() + gap +
                                c_.Scheda[10]->width() + twips_.px(200));
    right = std::max(right, c_.List1->x() + twips_.px(kListingMinimumWidth) + c_.File1->width());
    bottom = std::max(bottom, c_.SSTab1->y() + c_.List1->y() + twips_.px(kListingMinimumHeight));
    return {right + gap, bottom + gap + c_.Stato->sizeHint().height()};
}

void MainWindow::placePicFatt()
{
    // 16999 twips, the page's own width, and room for the view's frame and
    // its vertical scroll bar, so that the page needs no sideways scrolling;
    // cut at the window's right edge, so that the scroll bar stays in sight
    // on a narrow screen.
    const int chrome = 2 * c_.Pic_Fatt->frameWidth() +
                       c_.Pic_Fatt->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, c_.Pic_Fatt);
    const int width = std::min(twips_.px(16999) + chrome, atLeastZero(this->width() - c_.List1->x()));
    c_.Pic_Fatt->setGeometry(c_.List1->x(), c_.List1->y(), width,
                             atLeastZero(c_.SSTab1->height() - c_.List1->y() - twips_.px(100)));
    // The complete invoice takes the page's place.
    c_.Pic_Fatt_Completa->setGeometry(c_.Pic_Fatt->geometry());
}

void MainWindow::mostraPaginaFattura()
{
    c_.List1->setVisible(false);
    if (!isMaximized()) showMaximized();
    Form_Resize();
    placePicFatt();
    // "Completa" chooses the complete invoice or the page; the other one goes.
    const bool completa = c_.chkCompleta->isChecked();
    QScrollArea* const shown = completa ? static_cast<QScrollArea*>(c_.Pic_Fatt_Completa) : c_.Pic_Fatt;
    (completa ? static_cast<QScrollArea*>(c_.Pic_Fatt) : c_.Pic_Fatt_Completa)->setVisible(false);
    shown->setVisible(true);
    shown->raise();
    shown->setFocus();
    Fatt_Elet();
}

void MainWindow::Fatt_Elet()
{
    // The spacing first: a box left empty or unreadable shows "18" again
    // even when the file then cannot be shown.
    const double interlinea = InvoiceView::interlineaDa(*c_.Txt_Interlinea);
    const QString path = c_.File1->pathOf(c_.LBLFILEIMPORT->text());
    MouseAttesa();
    const bool completa = c_.chkCompleta->isChecked();
    const std::optional<QString> problem = completa ? c_.Pic_Fatt_Completa->mostraFattura(path, config_.regional)
                                                    : c_.Pic_Fatt->mostraFattura(path, interlinea, config_.regional);
    MouseNormale();
    // The page stays in place with what it showed before; Escape closes it.
    // A file that is no invoice at all was the wrong choice of file: the
    // listing and the file list come back with the message.
    if (problem) {
        mostraMessaggio(this, *problem);
        if (completa ? c_.Pic_Fatt_Completa->nonEraUnaFattura() : c_.Pic_Fatt->nonEraUnaFattura()) escapePressed();
    }
    // No database connection is held here: start-up closes the one it opens
    // and every run and utility opens its own, so after the page nothing is
    // left open.
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape that no control took (the window's shortcut only fires while the
    // window is the active one, which a closed message box may not give back).
    if (event->key() == Qt::Key_Escape && (!c_.Pic_Fatt->isHidden() || !c_.Pic_Fatt_Completa->isHidden())) {
        escapePressed();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::escapePressed()
{
    if (c_.Pic_Fatt->isHidden() && c_.Pic_Fatt_Completa->isHidden()) return;
    c_.Pic_Fatt->setVisible(false);
    c_.Pic_Fatt_Completa->setVisible(false);
    c_.List1->setVisible(true);
}

}  // namespace crv::window
