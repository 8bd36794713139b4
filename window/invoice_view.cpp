#include "window/invoice_view.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <memory>
#include <variant>

#include "invoice/invoice_reader.h"
#include "invoice/line_spacing.h"
#include "invoice/page_layout.h"
#include "invoice/page_painter.h"

namespace crv {

InvoicePageCanvas::InvoicePageCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: no background fill first
    setPage({}, interlinea_);
}

void InvoicePageCanvas::setPage(InvoicePage page, double interlinea)
{
    page_ = std::move(page);
    interlinea_ = interlinea;
    // The deepest a text reaches below its top: the line height of the largest font on the page.
    int largest = 0;
    for (const DrawOp& op : page_.ops) {
        if (const auto* text = std::get_if<TextOp>(&op)) largest = std::max(largest, text->size);
    }
    textDepth_ = largest > 0 ? QFontMetricsF(pageFont(largest, true, *this)).height() : 0;
    // A widget cannot be taller than Qt allows; a page beyond it is cut there.
    const int height = std::clamp(pageHeightPixels(page_, interlinea_), 1, QWIDGETSIZE_MAX);
    setFixedSize(kPageWidthPixels, height);
    update();
}

void InvoicePageCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, Qt::white);
    // Only the rows that reach into the exposed part: a page of thousands of
    // lines scrolls as fast as a short one. A text whose top lies above the
    // part may hang down into it, by as much as a text is tall: with a small
    // spacing that is several rows.
    const double fromRow = std::max(0.0, (exposed.top() - textDepth_) / interlinea_ - 1);
    const double toRow = (exposed.bottom() + 1) / interlinea_ + 1;
    paintPage(painter, page_, interlinea_, fromRow, toRow);
}

bool InvoicePageCanvas::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* const help = static_cast<QHelpEvent*>(event);
    const QString texts = textsNotShownWhole(page_, std::floor(help->pos().y() / interlinea_), *this);
    if (texts.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), texts, this);
    }
    return true;
}

InvoiceView::InvoiceView(QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("Pic_Fatt"));
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    setWidgetResizable(false);
    auto canvas = std::make_unique<InvoicePageCanvas>();
    canvas_ = canvas.get();
    setWidget(canvas.release());  // the scroll area owns it from here
}

std::optional<QString> InvoiceView::mostraFattura(const QString& path, double interlinea, const Regional& regional)
{
    const InvoiceReading reading = readInvoiceFile(path.toStdString());
    nonEraUnaFattura_ = reading.outcome == InvoiceOutcome::NoHeader;
    if (!reading.ok()) return QString::fromStdString(reading.message);
    canvas_->setPage(layoutInvoice(reading.fattura, regional), interlinea > 0 ? interlinea : 18);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    if (isVisible()) setFocus(Qt::OtherFocusReason);
    return std::nullopt;
}

double InvoiceView::interlineaDa(QLineEdit& txtInterlinea)
{
    const LineSpacing spacing = readLineSpacing(txtInterlinea.text().toStdString());
    const QString shown = QString::fromStdString(spacing.boxText);
    if (shown != txtInterlinea.text()) txtInterlinea.setText(shown);
    return spacing.interlinea;
}

const InvoicePage& InvoiceView::pagina() const
{
    return canvas_->page();
}

double InvoiceView::interlinea() const
{
    return canvas_->interlinea();
}

void InvoiceView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && isVisible()) {
        hide();
        emit chiusa();
        event->accept();
        return;
    }
    QScrollArea::keyPressEvent(event);  // arrows and page keys scroll
}

}  // namespace crv
