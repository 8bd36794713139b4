#pragma once
// The complete view's sheets written to files: a PNG image of the sheets one
// below the other, as the window shows them, and an A4 PDF with one page per
// sheet and selectable text. Files are written whole or not at all, as the
// page's are. Needs a running QGuiApplication.
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include <QImage>

#include "invoice/sheet_ops.h"

namespace crv {

// Pixels per point of the PNG (144 dots per inch).
inline constexpr double kSheetPngScale = 2.0;
// Pixels between two sheets of an image, in grey.
inline constexpr int kSheetGapPixels = 16;

// The sheets one below the other on a grey background, at `scale` pixels
// per point; a null image when taller than the largest PNG.
QImage renderSheets(const SheetDocument& document, double scale);

// Writes the sheets as a PNG file. Returns the problem, in Italian, or nothing.
std::optional<std::string> writeSheetsPng(const SheetDocument& document, const std::filesystem::path& file);

// One file's sheets for a PDF and a title for the document's outline.
struct SheetPdf {
    const SheetDocument* document = nullptr;
    std::string title;
};

// Writes every file's sheets into one PDF, one A4 page per sheet. Returns
// the problem, in Italian, or nothing.
std::optional<std::string> writeSheetsPdf(std::span<const SheetPdf> documents, const std::filesystem::path& file);

}  // namespace crv
