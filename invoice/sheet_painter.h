#pragma once
// Draws sheets of drawing operations on any Qt paint device, in the style of
// the page (a grid of 14-pixel columns and rows of the chosen spacing, lines
// and boxes on whole pixels) or of the complete view's A4 sheets (points,
// smooth lines), one below the other. Needs a running QGuiApplication.
#include <cstddef>
#include <limits>
#include <span>

#include <QRect>
#include <QString>

#include "invoice/draw_ops.h"
#include "invoice/text_face.h"

class QPainter;

namespace crv {

// Pixels per column of the page's grid, and the page's width in pixels: the
// picture box of the window (16999 twips).
inline constexpr int kColumnPixels = 14;
inline constexpr int kPageWidthPixels = 1133;
// A4 portrait in points.
inline constexpr float kSheetWidth = 595.28f;
inline constexpr float kSheetHeight = 841.89f;
// Pixels between two sheets shown one below the other, in grey.
inline constexpr int kSheetGapPixels = 16;

// How sheets are drawn and printed.
struct Style {
    const Face* face = &kSheetFace;
    double unitX = 1;  // dots per unit across
    double unitY = 1;  // dots per unit down
    double width = kSheetWidth;    // of a sheet, in dots
    double height = kSheetHeight;  // of a sheet, in dots; 0: as tall as what it
                                   // holds and a unit more (the page)
    bool smooth = true;            // lines and boxes smoothed, else on whole pixels
    int pdfDpi = 600;              // the resolution a PDF is drawn at
    double marginMm = 0;           // the PDF's margins
};

// The page at this line spacing: its PDF at 300 dots an inch within margins
// of 10 mm, the page scaled to the printable width and cut between rows.
Style pageStyle(double interlinea);
// The complete view's sheets, printed at their size.
inline constexpr Style kSheetStyle{};

// The lowest unit a sheet reaches: its last line or box or, for a text, one
// unit below its top.
double sheetRows(const Sheet& sheet);

// Where sheets lie one below the other at a scale (pixels per dot), each as
// tall as the tallest, kSheetGapPixels apart.
struct SheetStack {
    int width = 0;
    int sheet = 0;  // the height of each
    std::size_t count = 0;
    double top(std::size_t k) const { return static_cast<double>(k) * (sheet + kSheetGapPixels); }
    long long height() const
    {
        return count == 0 ? 0 : static_cast<long long>(count) * (sheet + kSheetGapPixels) - kSheetGapPixels;
    }
};
SheetStack stackOf(std::span<const Sheet> sheets, const Style& style, double scale);

// Draws the sheet's operations in dots (the painter's transform maps dots
// onto the device). Only units fromRow to toRow down are drawn: a text when
// its top lies in them, lines and boxes clipped to them (both ends
// included), so that a page can be cut between rows and a view repaint a strip.
void paintSheet(QPainter& painter, const Sheet& sheet, const Style& style, double fromRow = 0,
                double toRow = std::numeric_limits<double>::infinity());

// The part `exposed` (in pixels) of the sheets one below the other at
// `scale` pixels per dot, white on grey.
void paintSheets(QPainter& painter, std::span<const Sheet> sheets, const Style& style, double scale,
                 const QRect& exposed);

// The texts on a unit of a sheet (from row to row + 1) that it does not show
// whole at their own size, whole, one a line: what the row's tool tip holds.
QString textsNotShownWhole(const Sheet& sheet, double row, const Style& style);

}  // namespace crv
