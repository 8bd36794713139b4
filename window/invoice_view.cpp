#include "window/invoice_view.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
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
namespace {

// A control owned by its parent widget, named for the tests that find it.
template <typename T>
T* child(QWidget* parent, const char* name)
{
    T* const widget = std::make_unique<T>(parent).release();
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

InvoicePageCanvas::InvoicePageCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: no background fill first
    showPage(0);
}

void InvoicePageCanvas::setPages(std::vector<InvoicePage> pages, double interlinea)
{
    pages_ = std::move(pages);
    if (pages_.empty()) pages_.emplace_back();
    interlinea_ = interlinea;
    showPage(0);
}

void InvoicePageCanvas::showPage(std::size_t i)
{
    current_ = std::min(i, pages_.size() - 1);
    const InvoicePage& shown = page();
    // The deepest a text reaches below its top: the line height of the largest font on the page.
    int largest = 0;
    for (const DrawOp& op : shown.ops) {
        if (const auto* text = std::get_if<TextOp>(&op)) largest = std::max(largest, text->size);
    }
    textDepth_ = largest > 0 ? QFontMetricsF(pageFont(largest, true, *this)).height() : 0;
    // A widget cannot be taller than Qt allows; a page beyond it is cut there.
    const int height = std::clamp(pageHeightPixels(shown, interlinea_), 1, QWIDGETSIZE_MAX);
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
    paintPage(painter, page(), interlinea_, fromRow, toRow);
}

bool InvoicePageCanvas::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* const help = static_cast<QHelpEvent*>(event);
    const QString texts = textsNotShownWhole(page(), std::floor(help->pos().y() / interlinea_), *this);
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

    // The bar over the page of a batch: the previous document, which one of
    // how many, the next one. The buttons take no focus, so that the keys
    // keep scrolling the page and Escape keeps closing it.
    barra_ = child<QWidget>(this, "Barra_Documenti");
    barra_->setAutoFillBackground(true);
    auto* const riga = std::make_unique<QHBoxLayout>(barra_).release();  // the bar owns its layout
    riga->setContentsMargins(4, 2, 4, 2);
    precedente_ = child<QToolButton>(barra_, "Documento_Precedente");
    precedente_->setText(QStringLiteral("◀ Documento precedente"));
    precedente_->setToolTip(QStringLiteral("Documento precedente del file (Ctrl+PgSu)"));
    numero_ = child<QLabel>(barra_, "Documento_Numero");
    successivo_ = child<QToolButton>(barra_, "Documento_Successivo");
    successivo_->setText(QStringLiteral("Documento successivo ▶"));
    successivo_->setToolTip(QStringLiteral("Documento successivo del file (Ctrl+PgGiù)"));
    for (QToolButton* const b : {precedente_, successivo_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    riga->addWidget(precedente_);
    riga->addSpacing(12);
    riga->addWidget(numero_);
    riga->addSpacing(12);
    riga->addWidget(successivo_);
    riga->addStretch(1);
    connect(precedente_, &QToolButton::clicked, this, [this] {
        if (documento() > 0) mostraDocumento(documento() - 1);
    });
    connect(successivo_, &QToolButton::clicked, this, [this] { mostraDocumento(documento() + 1); });
    aggiornaBarra();
}

std::size_t InvoiceView::documenti() const
{
    return canvas_->pageCount();
}

std::size_t InvoiceView::documento() const
{
    return canvas_->current();
}

void InvoiceView::mostraDocumento(std::size_t i)
{
    if (i >= documenti()) return;
    canvas_->showPage(i);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    aggiornaBarra();
}

void InvoiceView::aggiornaBarra()
{
    const std::size_t n = documenti();
    const bool several = n > 1;
    if (several) {
        numero_->setText(QStringLiteral("Documento %1 di %2").arg(documento() + 1).arg(n));
        precedente_->setEnabled(documento() > 0);
        successivo_->setEnabled(documento() + 1 < n);
    }
    barra_->setVisible(several);
    // A one-document file keeps the whole place for its page, as ever.
    setViewportMargins(0, several ? barra_->sizeHint().height() : 0, 0, 0);
    collocaBarra();
}

void InvoiceView::collocaBarra()
{
    const int frame = frameWidth();
    barra_->setGeometry(frame, frame, std::max(0, width() - 2 * frame), barra_->sizeHint().height());
}

void InvoiceView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    collocaBarra();
}

std::optional<QString> InvoiceView::mostraFattura(const QString& path, double interlinea, const Regional& regional)
{
    const InvoiceReading reading = readInvoiceFile(path.toStdString());
    nonEraUnaFattura_ = reading.outcome == InvoiceOutcome::NoHeader;
    if (!reading.ok()) return QString::fromStdString(reading.message);
    canvas_->setPages(layoutInvoice(reading.fattura, regional), interlinea > 0 ? interlinea : 18);
    mostraDocumento(0);
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
    if (event->modifiers() == Qt::ControlModifier &&
        (event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp)) {
        if (event->key() == Qt::Key_PageDown) mostraDocumento(documento() + 1);
        else if (documento() > 0) mostraDocumento(documento() - 1);
        event->accept();
        return;
    }
    QScrollArea::keyPressEvent(event);  // arrows and page keys scroll
}

}  // namespace crv
