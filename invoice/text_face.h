#pragma once
// The face of the invoice's pictures, DejaVu Sans black on white, loaded
// from its own files so that a picture looks the same on every machine: the
// font a painter draws a text with on any device, the measures the layouts
// and the painter take, and what a text shows in its column. Measures are in
// dots: a pixel of the page, a point of a sheet. Needs a running
// QGuiApplication.
#include <string>
#include <string_view>
#include <vector>

#include <QFont>
#include <QString>

#include "invoice/draw_ops.h"

class QPaintDevice;

namespace crv {

class Face {
public:
    // A face for pictures of `dpi` dots an inch whose texts are measured
    // and drawn `glyphScale` times as large in a space as many times
    // smaller, with or without ligatures (a glyph standing for "fi").
    constexpr Face(int dpi, float glyphScale, bool ligatures)
        : dpi_(dpi), glyphScale_(glyphScale), ligatures_(ligatures)
    {
    }
    int dpi() const { return dpi_; }
    float glyphScale() const { return glyphScale_; }

    // The font of a text of `size` points on that device, for a painter
    // whose unit is a dot divided by the glyph scale.
    QFont font(double size, bool bold, const QPaintDevice& device) const;
    // The width of a text, kept for the next time it is asked (amounts,
    // rates and codes come again and again); control characters but line
    // ends count as blanks.
    float width(std::string_view text, double size, bool bold) const;
    // The width of a text measured now, and the text cut after the last
    // character that leaves room for a "…" within `room`.
    double advance(const QString& text, double size, bool bold) const;
    QString elided(const QString& text, double size, bool bold, double room) const;
    // From a line's top to its baseline, and the step from one line to the next.
    float ascent(double size) const;
    float lineHeight(double size) const;
    // The text cut into lines no wider than `room`: at blanks where it can,
    // inside a word longer than a line otherwise (at least one character a
    // line, never half of a character); a line end in the text starts a new
    // line. Nothing is left out: the lines joined give the text back but for
    // the blanks at the cuts. `text` holds no control characters but line ends.
    std::vector<QString> lines(const QString& text, double room, double size, bool bold) const;

private:
    int dpi_;
    float glyphScale_;
    bool ligatures_;
};

// The page's face: a dot is a pixel of the page (96 an inch, as on the
// operators' screens the page was laid out for).
extern const Face kPageFace;
// The sheets' face: a dot is a point. No ligatures: a PDF's text must read
// back letter by letter ("ufficio", not a glyph standing for "ffi"). Texts
// are measured and drawn twice as large in a space half as large: Qt makes a
// face of a whole number of pixels (6.5 would be drawn at 7), and the sizes
// of the sheets are whole or half points.
extern const Face kSheetFace;

// A text longer than this cannot show in a column anyway; drawing a huge
// one whole would only keep the painter busy.
inline constexpr qsizetype kMaxDrawnChars = 400;

// The text with its control characters but line ends as blanks.
QString cleaned(std::string_view text);

// A text as a painter shows it in its column: what shows, at which size,
// and whether that is the whole text at its own size. `shown` is empty for
// a text left out.
struct FittedText {
    QString shown;
    double points = 0;
    bool whole = true;
};

// Fits a text into its column (TextOp, Fit) in a face whose column unit is
// `unitX` dots.
FittedText fitText(const TextOp& text, const Face& face, double unitX);

}  // namespace crv
