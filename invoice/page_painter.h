#pragma once
// Turns the page's drawing operations into pixels on any Qt paint device:
// DejaVu Sans, black on white, one-pixel lines, a point being 96/72 page
// pixels whatever the device's resolution (the caller's transform maps page
// pixels onto the device). Needs a running QGuiApplication for the fonts.
#include <limits>
#include <string>
#include <vector>

#include <QFont>

#include "invoice/page_ops.h"

class QPainter;
class QPaintDevice;

namespace crv {

// Width of the page in pixels: the picture box of the window (16999 twips).
inline constexpr int kPageWidthPixels = 1133;

// The lowest row the page reaches: its last line or, for a text, one row below it.
double pageRows(const InvoicePage& page);

// Height of the page in pixels at this line spacing.
int pageHeightPixels(const InvoicePage& page, double interlinea);

// The page's font face at `points` points, sized for the device so that the
// text is points × 96/72 pixels of the page on it.
QFont pageFont(double points, bool bold, const QPaintDevice& device);

// A text as the page draws it: what shows, at which size, and whether that
// is the whole text at its own size. `shown` is empty for a text left out.
struct FittedText {
    QString shown;
    double points = 0;
    bool whole = true;
};

// Fits a text into the room its limit leaves (TextOp); `font` is the page's
// font at the text's own size and weight on that device.
FittedText fitText(const TextOp& text, const QFont& font, const QPaintDevice& device);

// The lines a text takes on the page: none when the page shows it on its
// row (whole, or a number drawn smaller), else the text broken into lines
// that each fit the room its limit leaves at its own size (at blanks where
// it can), measured as on an image of the page. Control characters count as
// blanks; nothing else of the text is left out, but for a text longer than
// any valid invoice holds (10,000 characters), which ends there with "…".
std::vector<std::string> pageLines(const TextOp& text);

// The texts on a row of the page (the row from y to y + 1) that the page
// does not show whole at their own size, whole, one a line: what the row's
// tool tip holds. Empty when every text of the row shows whole.
QString textsNotShownWhole(const InvoicePage& page, double row, const QPaintDevice& device);

// Draws the operations on the painter in page pixels. Only rows fromRow to
// toRow are drawn: a text when its top lies in them, lines and boxes clipped
// to them (both ends included), so that a page can be cut between rows.
void paintPage(QPainter& painter, const InvoicePage& page, double interlinea, double fromRow = 0,
               double toRow = std::numeric_limits<double>::infinity());

}  // namespace crv
