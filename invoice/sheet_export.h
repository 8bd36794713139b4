#pragma once
// Sheets written to files: a PNG image of the sheets one below the other, as
// the window shows them, and an A4 portrait PDF with selectable text. Files
// are made in memory and written whole or not at all (a new file renamed
// into place). Needs a running QGuiApplication.
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QByteArray>
#include <QImage>

#include "invoice/sheet_painter.h"

namespace crv {

// The bytes made in memory written as the whole file: the system's reason
// when it cannot be, in Italian (Qt's writers say "Unknown error").
std::optional<std::string> writeBytes(const QByteArray& bytes, const std::filesystem::path& file);

// The tallest image written as PNG; a longer invoice goes to PDF.
inline constexpr int kMaxPngHeight = 32767;
// Pixels per point of the complete view's PNG (144 dots per inch).
inline constexpr double kSheetPngScale = 2.0;

// The sheets drawn on an image at `scale` pixels per dot (paintSheets); a
// null image when there are none or they are taller than kMaxPngHeight.
QImage renderSheets(std::span<const Sheet> sheets, const Style& style, double scale);

// Whether the sheets are short enough for a PNG image at that scale.
bool fitsPng(std::span<const Sheet> sheets, const Style& style, double scale);

// Writes the sheets as a PNG file. Returns the problem, in Italian, or
// nothing: too tall (see fitsPng), else the file that cannot be written
// and the system's reason.
std::optional<std::string> writePng(std::span<const Sheet> sheets, const Style& style, double scale,
                                    const std::filesystem::path& file);

// A slice of a page printed on one sheet of paper: rows [fromRow, toRow).
struct PageSlice {
    double fromRow = 0;
    double toRow = 0;
    bool operator==(const PageSlice&) const = default;
};

// Cuts a page into slices of at most rowsPerSheet rows, at its break rows
// where possible, else at a whole row.
std::vector<PageSlice> sliceRows(const Sheet& page, double rowsPerSheet);

// One document of a PDF: its sheets and a title for the PDF's outline.
struct PdfDocument {
    std::span<const Sheet> sheets;
    std::string title;
};

// Writes the documents into one PDF, A4 portrait, each starting on a new
// sheet of paper: a sheet of a fixed height printed at its size, a page as
// long as it needs scaled to the printable width and continued on further
// sheets when it is longer. Returns the problem, in Italian, or nothing.
std::optional<std::string> writePdf(std::span<const PdfDocument> documents, const Style& style,
                                    const std::filesystem::path& file);

}  // namespace crv
