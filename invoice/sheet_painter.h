#pragma once
// Sheets of the complete view in pixels on any Qt paint device, and the
// text measures their layout is made with: the page's face (DejaVu Sans),
// black on white, without ligatures (a PDF's text must read back letter by
// letter: "ufficio", not a glyph standing for "ffi"). Needs a running
// QGuiApplication for the fonts.
#include <string>
#include <string_view>
#include <vector>

#include <QFont>

#include "invoice/sheet_ops.h"

class QPainter;
class QPaintDevice;

namespace crv {

// The face at `size` points on a painter whose user unit is the point:
// `size` units tall on the device, whatever its resolution.
QFont sheetFont(float size, bool bold, const QPaintDevice& device);

// Widths and heights of texts in points, as the painter draws them.
class SheetMetrics {
public:
    SheetMetrics();
    float width(std::string_view text, float size, bool bold) const;
    // From a line's top to its baseline, and the step from one line to the next.
    float ascent(float size) const;
    float lineHeight(float size) const;
    // The text cut into lines no wider than `width`: at blanks where it can,
    // inside a word longer than a line otherwise; a line end in the text
    // starts a new line; control characters count as blanks. Nothing is
    // left out: the lines joined give the text back but for the blanks at
    // the cuts.
    std::vector<std::string> wrap(std::string_view text, float width, float size, bool bold) const;

private:
    struct Measures;
    Measures& measures(float size, bool bold) const;  // with the measures' lock held
};

// Draws one sheet's operations; the painter's transform maps points onto
// the device. The caller fills the background.
void paintSheet(QPainter& painter, const Sheet& sheet);

}  // namespace crv
