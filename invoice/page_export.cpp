#include "invoice/page_export.h"

#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

#include "invoice/page_painter.h"

namespace crv {
namespace {

constexpr int kPdfDpi = 300;
constexpr double kMarginMm = 10;

QString qPath(const std::filesystem::path& file)
{
    return QString::fromStdString(file.string());
}

std::string text(const QString& s)
{
    return s.toStdString();
}

}  // namespace

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
    QSaveFile out(qPath(file));
    if (!out.open(QIODevice::WriteOnly)) return "impossibile scrivere " + file.string() + ": " + text(out.errorString());
    QImageWriter writer(&out, "png");
    if (!writer.write(image)) {
        out.cancelWriting();
        return "impossibile scrivere " + file.string() + ": " + text(writer.errorString());
    }
    if (!out.commit()) return "impossibile scrivere " + file.string() + ": " + text(out.errorString());
    return std::nullopt;
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
    QSaveFile out(qPath(file));
    if (!out.open(QIODevice::WriteOnly)) return "impossibile scrivere " + file.string() + ": " + text(out.errorString());
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
        if (!painter.begin(&pdf)) {
            out.cancelWriting();
            return "impossibile creare il PDF " + file.string();
        }
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
    if (!out.commit()) return "impossibile scrivere " + file.string() + ": " + text(out.errorString());
    return std::nullopt;
}

}  // namespace crv
