#include "window/invoice_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>
#include <memory>

#include "invoice/invoice_reader.h"
#include "invoice/line_spacing.h"
#include "invoice/page_layout.h"

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

InvoiceView::InvoiceView(QWidget* parent) : SheetView(QStringLiteral("Pic_Fatt"), parent)
{
    setBackgroundRole(QPalette::Base);
    canvas_->setSheets(pagine_, pageStyle(interlinea_));

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

void InvoiceView::mostraDocumento(std::size_t i)
{
    if (i >= documenti()) return;
    documento_ = i;
    canvas_->setSheets({pagine_[i]}, pageStyle(interlinea_));
    inCima();
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
    SheetView::resizeEvent(event);
    collocaBarra();
}

std::optional<QString> InvoiceView::mostraFattura(const QString& path, double interlinea, const Regional& regional)
{
    const InvoiceReading reading = readInvoiceFile(path.toStdString());
    nonEraUnaFattura_ = reading.outcome == InvoiceOutcome::NoHeader;
    if (!reading.ok()) return QString::fromStdString(reading.message);
    pagine_ = layoutInvoice(reading.fattura, regional);
    if (pagine_.empty()) pagine_.emplace_back();
    interlinea_ = interlinea > 0 ? interlinea : 18;
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

const Sheet& InvoiceView::pagina() const
{
    return pagine_[documento_];
}

void InvoiceView::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::ControlModifier &&
        (event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp)) {
        if (event->key() == Qt::Key_PageDown) mostraDocumento(documento() + 1);
        else if (documento() > 0) mostraDocumento(documento() - 1);
        event->accept();
        return;
    }
    SheetView::keyPressEvent(event);
}

}  // namespace crv
