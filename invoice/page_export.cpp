#include "invoice/page_export.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

#include "files/whole_file.h"
#include "invoice/page_painter.h"

namespace crv {
namespace {

constexpr int kPdfDpi = 300;
constexpr double kMarginMm = 10;

}  // namespace

std::optional<std::string> writeBytes(const QByteArray& bytes, const std::filesystem::path& file)
{
    try {
        writeWholeFile(file, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const FileError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

std::optional<std::string> writePngImage(const QImage& image, const std::filesystem::path& file)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) return "impossibile creare l'immagine PNG di " + file.string() + ": memoria insufficiente";
    return writeBytes(bytes, file);
}

QImage renderPage(const InvoicePage& page, double interlinea)
{
    const int height = pageHeightPixels(page, interlinea);
    if (height <= 0 || height > kMaxPngHeight) return {};
    QImage image(kPageWidthPixels, height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPage(painter, page, interlinea);
    painter.end();
    return image;
}

std::optional<std::string> writePng(const InvoicePage& page, double interlinea, const std::filesystem::path& file)
{
    const QImage image = renderPage(page, interlinea);
    if (image.isNull())
        return "la pagina è troppo alta per un'immagine PNG (" + std::to_string(pageHeightPixels(page, interlinea)) +
               " pixel, al massimo " + std::to_string(kMaxPngHeight) + "): usare --pdf";
    return writePngImage(image, file);
}

bool pageFitsPng(const InvoicePage& page, double interlinea)
{
    const int height = pageHeightPixels(page, interlinea);
    return height > 0 && height <= kMaxPngHeight;
}

std::vector<PageSlice> sliceRows(const InvoicePage& page, double rowsPerSheet)
{
    const double end = pageRows(page) + 1;
    std::vector<PageSlice> slices;
    double top = 0;
    while (end - top > rowsPerSheet) {
        const double limit = top + rowsPerSheet;
        double cut = 0;
        for (const float row : page.breakRows) {
            if (row > top && row <= limit) cut = std::max(cut, static_cast<double>(row));
        }
        if (cut <= top) cut = std::max(top + 1, std::floor(limit));
        slices.push_back({top, cut});
        top = cut;
    }
    slices.push_back({top, end});
    return slices;
}

std::optional<std::string> writePdf(std::span<const PdfInvoice> invoices, double interlinea,
                                    const std::filesystem::path& file)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&out);
        pdf.setResolution(kPdfDpi);
        pdf.setCreator(QStringLiteral("crvxml"));
        if (invoices.size() == 1) pdf.setTitle(QString::fromStdString(invoices.front().title));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
        const QRect printable = pdf.pageLayout().paintRectPixels(kPdfDpi);
        // Device pixels per page pixel: the page's width fills the printable width.
        const double scale = static_cast<double>(printable.width()) / kPageWidthPixels;
        const double rowsPerSheet = printable.height() / scale / interlinea;

        QPainter painter;
        if (!painter.begin(&pdf)) return "impossibile creare il PDF " + file.string();
        bool first = true;
        for (const PdfInvoice& invoice : invoices) {
            for (const PageSlice& slice : sliceRows(*invoice.page, rowsPerSheet)) {
                if (!first) pdf.newPage();
                first = false;
                painter.save();
                painter.scale(scale, scale);
                painter.translate(0, -slice.fromRow * interlinea);
                paintPage(painter, *invoice.page, interlinea, slice.fromRow, slice.toRow);
                painter.restore();
            }
        }
        painter.end();
    }
    out.close();
    return writeBytes(bytes, file);
}

}  // namespace crv
