#include "window/full_invoice_view.h"

#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <memory>

#include "invoice/attachments.h"
#include "invoice/full_layout.h"
#include "invoice/full_view.h"
#include "invoice/invoice_text.h"
#include "invoice/sheet_export.h"
#include "invoice/sheet_painter.h"
#include "window/message_box.h"

namespace crv {
namespace {

// Pixels per point: as wide as the view allows, between the PNG's half and whole scale.
constexpr double kMinScale = 1.0;
constexpr double kMaxScale = 2.0;

}  // namespace

SheetCanvas::SheetCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setScale(scale_);
}

double SheetCanvas::sheetTop(std::size_t k) const
{
    return static_cast<double>(k) * (std::ceil(kSheetHeight * scale_) + kSheetGapPixels);
}

void SheetCanvas::setDocument(SheetDocument document, int attachments)
{
    document_ = std::move(document);
    for (QPushButton* b : buttons_) delete b;
    buttons_.clear();
    for (int i = 0; i < attachments; ++i) {
        auto button = std::make_unique<QPushButton>(QStringLiteral("Salva"), this);
        button->setObjectName(QStringLiteral("Salva_Allegato_%1").arg(i));
        button->setToolTip(QStringLiteral("Salva l'allegato in una cartella, senza sostituire file esistenti"));
        button->setVisible(false);
        buttons_.push_back(button.release());
    }
    setScale(scale_);
}

void SheetCanvas::setScale(double scale)
{
    scale_ = scale;
    const std::size_t n = std::max<std::size_t>(1, document_.sheets.size());
    const double height = sheetTop(n) - kSheetGapPixels;
    setFixedSize(static_cast<int>(std::ceil(kSheetWidth * scale_)),
                 std::clamp(static_cast<int>(std::ceil(height)), 1, QWIDGETSIZE_MAX));
    placeButtons();
    update();
}

void SheetCanvas::placeButtons()
{
    for (std::size_t k = 0; k < document_.sheets.size(); ++k) {
        for (const SheetOp& op : document_.sheets[k].ops) {
            const auto* a = std::get_if<SheetAnchor>(&op);
            if (a == nullptr || a->index < 0 || static_cast<std::size_t>(a->index) >= buttons_.size()) continue;
            QPushButton* b = buttons_[static_cast<std::size_t>(a->index)];
            const int height = std::max(b->sizeHint().height(), static_cast<int>(std::lround(a->height * scale_)));
            b->setGeometry(static_cast<int>(std::lround(a->x * scale_)),
                           static_cast<int>(std::lround(sheetTop(k) + a->y * scale_)),
                           static_cast<int>(std::lround(a->width * scale_)), height);
            b->setVisible(true);
        }
    }
}

void SheetCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, QColor(0x9A, 0xA0, 0xA6));
    const double sheetHeight = std::ceil(kSheetHeight * scale_);
    for (std::size_t k = 0; k < document_.sheets.size(); ++k) {
        const QRectF place(0, sheetTop(k), width(), sheetHeight);
        if (!place.intersects(exposed)) continue;
        painter.fillRect(place, Qt::white);
        painter.save();
        painter.setClipRect(place.intersected(exposed));
        painter.translate(0, place.top());
        painter.scale(scale_, scale_);
        paintSheet(painter, document_.sheets[k]);
        painter.restore();
    }
}

FullInvoiceView::FullInvoiceView(QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("Pic_Fatt_Completa"));
    setFocusPolicy(Qt::StrongFocus);
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(0x9A, 0xA0, 0xA6));
    setPalette(grey);
    setBackgroundRole(QPalette::Window);
    auto canvas = std::make_unique<SheetCanvas>();
    canvas_ = canvas.get();
    setWidget(canvas.release());  // the scroll area owns it from here
}

std::optional<QString> FullInvoiceView::mostraFattura(const QString& path, const Regional& regional)
{
    FullViewReading reading = readFullView(path.toStdString());
    nonEraUnaFattura_ = reading.outcome == InvoiceOutcome::NoHeader;
    if (!reading.ok()) return QString::fromStdString(reading.message);
    SheetDocument sheets = layoutFullView(reading.view, regional);
    // Kept for their buttons, in the order of the sheets' anchors.
    allegati_.clear();
    for (Documento& d : reading.view.fattura.documenti) {
        for (AllegatoCompleto& a : d.allegati) allegati_.push_back(std::move(a));
    }
    canvas_->setDocument(std::move(sheets), static_cast<int>(allegati_.size()));
    for (std::size_t i = 0; i < canvas_->buttons().size(); ++i)
        connect(canvas_->buttons()[i], &QPushButton::clicked, this, [this, i] { salvaAllegato(static_cast<int>(i)); });
    adattaScala();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    if (isVisible()) setFocus(Qt::OtherFocusReason);
    return std::nullopt;
}

const SheetDocument& FullInvoiceView::fogli() const
{
    return canvas_->document();
}

double FullInvoiceView::scala() const
{
    return canvas_->scale();
}

void FullInvoiceView::adattaScala()
{
    const int free = viewport()->width() - 2 * kSheetGapPixels;
    const double fit = free / static_cast<double>(kSheetWidth);
    const double scale = std::clamp(fit, kMinScale, kMaxScale);
    if (std::abs(scale - canvas_->scale()) > 1e-6) canvas_->setScale(scale);
}

void FullInvoiceView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    adattaScala();
}

void FullInvoiceView::salvaAllegato(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= allegati_.size()) return;
    const Allegato& a = allegati_[static_cast<std::size_t>(index)];
    QFileDialog dialog(this, QStringLiteral("Cartella in cui salvare l'allegato"));
    dialog.setObjectName(QStringLiteral("SalvaAllegato"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    QString start = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (start.isEmpty() || !QDir(start).exists()) start = QDir::homePath();
    dialog.setDirectory(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::filesystem::path folder = dialog.selectedFiles().front().toStdString();
    // The same rules as the command line's --allegati: a plain file name,
    // never a file overwritten.
    const std::vector<SavedAttachment> saved = saveAttachments({a}, folder);
    const SavedAttachment& s = saved.front();
    const QString name = QString::fromStdString(oneLine(s.nomeAttachment));
    window::mostraMessaggio(this, s.problem.empty()
                              ? QStringLiteral("Allegato \"%1\" salvato in %2").arg(name, QString::fromStdString(s.savedAs.string()))
                              : QStringLiteral("Allegato \"%1\": %2").arg(name, QString::fromStdString(s.problem)));
}

void FullInvoiceView::keyPressEvent(QKeyEvent* event)
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
