#pragma once
// The invoice page written to files: a PNG image as the window draws it, and
// A4 portrait PDF pages. Files are made in memory and written whole or not at
// all (a new file renamed into place). Needs a running QGuiApplication.
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QByteArray>
#include <QImage>

#include "invoice/page_ops.h"

namespace crv {

// The bytes made in memory written as the whole file: the system's reason
// when it cannot be, in Italian (Qt's writers say "Unknown error").
std::optional<std::string> writeBytes(const QByteArray& bytes, const std::filesystem::path& file);
// The image encoded as PNG in memory, then written as writeBytes does.
std::optional<std::string> writePngImage(const QImage& image, const std::filesystem::path& file);

// The tallest image written as PNG; a longer invoice goes to PDF.
inline constexpr int kMaxPngHeight = 32767;

// The page drawn on a white image kPageWidthPixels wide; a null image when
// the page is taller than kMaxPngHeight.
QImage renderPage(const InvoicePage& page, double interlinea);

// Writes the page as a PNG file. Returns the problem, in Italian, or nothing:
// the page too tall (see pageFitsPng), else the file that cannot be written
// and the system's reason.
std::optional<std::string> writePng(const InvoicePage& page, double interlinea, const std::filesystem::path& file);

// Whether the page is short enough for a PNG image.
bool pageFitsPng(const InvoicePage& page, double interlinea);

// A slice of the page printed on one sheet: rows [fromRow, toRow).
struct PageSlice {
    double fromRow = 0;
    double toRow = 0;
    bool operator==(const PageSlice&) const = default;
};

// Cuts the page into slices of at most rowsPerSheet rows, at its break rows
// where possible, else at a whole row.
std::vector<PageSlice> sliceRows(const InvoicePage& page, double rowsPerSheet);

// One invoice for a PDF: its page and a title for the document's outline.
struct PdfInvoice {
    const InvoicePage* page = nullptr;
    std::string title;
};

// Writes the invoices into one PDF, A4 portrait, each starting on a new
// sheet, the page scaled to the printable width and continued on further
// sheets when it is longer. Returns the problem, in Italian, or nothing.
std::optional<std::string> writePdf(std::span<const PdfInvoice> invoices, double interlinea,
                                    const std::filesystem::path& file);

}  // namespace crv
