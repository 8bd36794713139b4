#include "window/full_invoice_view.h"

#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

#include "invoice/attachments.h"
#include "invoice/full_layout.h"
#include "invoice/full_view.h"
#include "invoice/invoice_text.h"
#include "window/message_box.h"

namespace crv {
namespace {

// Pixels per point: as wide as the view allows, between the PNG's half and whole scale.
constexpr double kMinScale = 1.0;
constexpr double kMaxScale = 2.0;

}  // namespace

FullInvoiceView::FullInvoiceView(QWidget* parent) : SheetView(QStringLiteral("Pic_Fatt_Completa"), parent)
{
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(0x9A, 0xA0, 0xA6));
    setPalette(grey);
    setBackgroundRole(QPalette::Window);
    canvas_->setScale(1.5);
}

std::optional<QString> FullInvoiceView::mostraFattura(const QString& path, const Regional& regional)
{
    FullViewReading reading = readFullView(path.toStdString());
    nonEraUnaFattura_ = reading.outcome == InvoiceOutcome::NoHeader;
    if (!reading.ok()) return QString::fromStdString(reading.message);
    std::vector<Sheet> sheets = layoutFullView(reading.view, regional);
    // Kept for their buttons, in the order of the sheets' anchors.
    allegati_.clear();
    for (Documento& d : reading.view.fattura.documenti) {
        for (AllegatoCompleto& a : d.allegati) allegati_.push_back(std::move(a));
    }
    canvas_->setSheets(std::move(sheets), kSheetStyle, static_cast<int>(allegati_.size()));
    for (std::size_t i = 0; i < canvas_->buttons().size(); ++i)
        connect(canvas_->buttons()[i], &QPushButton::clicked, this, [this, i] { salvaAllegato(static_cast<int>(i)); });
    adattaScala();
    inCima();
    if (isVisible()) setFocus(Qt::OtherFocusReason);
    return std::nullopt;
}

const std::vector<Sheet>& FullInvoiceView::fogli() const
{
    return canvas_->sheets();
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
    SheetView::resizeEvent(event);
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

}  // namespace crv
