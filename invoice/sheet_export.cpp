#include "invoice/sheet_export.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <limits>

#include "files/whole_file.h"

namespace crv {

std::optional<std::string> writeBytes(const QByteArray& bytes, const std::filesystem::path& file)
{
    try {
        writeWholeFile(file, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const FileError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

bool fitsPng(std::span<const Sheet> sheets, const Style& style, double scale)
{
    const long long height = stackOf(sheets, style, scale).height();
    return height > 0 && height <= kMaxPngHeight;
}

QImage renderSheets(std::span<const Sheet> sheets, const Style& style, double scale)
{
    if (!fitsPng(sheets, style, scale)) return {};
    const SheetStack stack = stackOf(sheets, style, scale);
    QImage image(stack.width, static_cast<int>(stack.height()), QImage::Format_RGB32);
    if (image.isNull()) return image;
    QPainter painter(&image);
    paintSheets(painter, sheets, style, scale, image.rect());
    painter.end();
    return image;
}

std::optional<std::string> writePng(std::span<const Sheet> sheets, const Style& style, double scale,
                                    const std::filesystem::path& file)
{
    const QImage image = renderSheets(sheets, style, scale);
    if (image.isNull()) {
        if (sheets.size() == 1)
            return "la pagina è troppo alta per un'immagine PNG (" +
                   std::to_string(stackOf(sheets, style, scale).height()) + " pixel, al massimo " +
                   std::to_string(kMaxPngHeight) + "): usare --pdf";
        return "i " + std::to_string(sheets.size()) + " fogli sono troppi per un'immagine PNG (al massimo " +
               std::to_string(kMaxPngHeight) + " pixel di altezza): usare --pdf";
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) return "impossibile creare l'immagine PNG di " + file.string() + ": memoria insufficiente";
    return writeBytes(bytes, file);
}

std::vector<PageSlice> sliceRows(const Sheet& page, double rowsPerSheet)
{
    const double end = sheetRows(page) + 1;
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

std::optional<std::string> writePdf(std::span<const PdfDocument> documents, const Style& style,
                                    const std::filesystem::path& file)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&out);
        pdf.setResolution(style.pdfDpi);
        pdf.setCreator(QStringLiteral("crvxml"));
        if (documents.size() == 1) pdf.setTitle(QString::fromStdString(documents.front().title));
        const double m = style.marginMm;
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(m, m, m, m),
                                      QPageLayout::Millimeter));
        const QRect printable = pdf.pageLayout().paintRectPixels(style.pdfDpi);
        // Device pixels per dot: a page as long as it needs fills the
        // printable width; a sheet has its own size.
        const bool cut = style.height <= 0;
        const double scale = cut ? static_cast<double>(printable.width()) / style.width
                                 : style.pdfDpi / static_cast<double>(style.face->dpi());
        const double rowsPerSheet = printable.height() / scale / style.unitY;

        QPainter painter;
        if (!painter.begin(&pdf)) return "impossibile creare il PDF " + file.string();
        bool first = true;
        for (const PdfDocument& document : documents) {
            for (const Sheet& sheet : document.sheets) {
                const std::vector<PageSlice> slices =
                    cut ? sliceRows(sheet, rowsPerSheet)
                        : std::vector<PageSlice>{{0, std::numeric_limits<double>::infinity()}};
                for (const PageSlice& slice : slices) {
                    if (!first) pdf.newPage();
                    first = false;
                    painter.save();
                    painter.scale(scale, scale);
                    painter.translate(0, -slice.fromRow * style.unitY);
                    paintSheet(painter, sheet, style, slice.fromRow, slice.toRow);
                    painter.restore();
                }
            }
        }
        painter.end();
    }
    out.close();
    return writeBytes(bytes, file);
}

}  // namespace crv
