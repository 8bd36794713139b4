#include "invoice/sheet_export.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

#include "invoice/page_export.h"
#include "invoice/sheet_painter.h"

namespace crv {
namespace {

constexpr int kPdfDpi = 600;

}  // namespace

QImage renderSheets(const SheetDocument& document, double scale)
{
    const int sheetWidth = static_cast<int>(std::ceil(kSheetWidth * scale));
    const int sheetHeight = static_cast<int>(std::ceil(kSheetHeight * scale));
    const auto n = static_cast<long long>(document.sheets.size());
    const long long height = n * sheetHeight + (n > 0 ? (n - 1) * kSheetGapPixels : 0);
    if (n == 0 || height > kMaxPngHeight) return {};
    QImage image(sheetWidth, static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(QColor(0x9A, 0xA0, 0xA6));
    QPainter painter(&image);
    for (long long k = 0; k < n; ++k) {
        const double top = static_cast<double>(k * (sheetHeight + kSheetGapPixels));
        painter.fillRect(QRectF(0, top, sheetWidth, sheetHeight), Qt::white);
        painter.save();
        painter.translate(0, top);
        painter.scale(scale, scale);
        paintSheet(painter, document.sheets[static_cast<std::size_t>(k)]);
        painter.restore();
    }
    painter.end();
    return image;
}

std::optional<std::string> writeSheetsPng(const SheetDocument& document, const std::filesystem::path& file)
{
    const QImage image = renderSheets(document, kSheetPngScale);
    if (image.isNull())
        return "i " + std::to_string(document.sheets.size()) +
               " fogli sono troppi per un'immagine PNG (al massimo " + std::to_string(kMaxPngHeight) +
               " pixel di altezza): usare --pdf";
    return writePngImage(image, file);
}

std::optional<std::string> writeSheetsPdf(std::span<const SheetPdf> documents, const std::filesystem::path& file)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&out);
        pdf.setResolution(kPdfDpi);
        pdf.setCreator(QStringLiteral("crvxml"));
        if (documents.size() == 1) pdf.setTitle(QString::fromStdString(documents.front().title));
        // The sheets hold their own margins: the page is all theirs.
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        if (!painter.begin(&pdf)) return "impossibile creare il PDF " + file.string();
        bool first = true;
        for (const SheetPdf& d : documents) {
            for (const Sheet& sheet : d.document->sheets) {
                if (!first) pdf.newPage();
                first = false;
                painter.save();
                painter.scale(kPdfDpi / 72.0, kPdfDpi / 72.0);
                paintSheet(painter, sheet);
                painter.restore();
            }
        }
        painter.end();
    }
    out.close();
    return writeBytes(bytes, file);
}

}  // namespace crv
