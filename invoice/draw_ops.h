#pragma once
// The invoice's pictures as lists of drawing operations: the page of each
// document in a grid (a column is 14 of the page's pixels, a row the spacing
// it is drawn with) and the complete view's A4 sheets in points. One painter
// turns either into pixels on any device (the window, an image, a PDF), so
// they cannot drift apart, and tests compare the lists themselves.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace crv {

// Erases the sheet: everything drawn so far is gone, the sheet is white.
struct ClearOp {
    bool operator==(const ClearOp&) const = default;
};

enum class Allinea { Sinistra, Destra, Centro };

// What a text wider than its column becomes.
enum class Fit {
    Cut,     // cut at the column's end, "…" showing that more follows
    Shrink,  // drawn smaller, down to 6 points, and left out when it does
             // not fit even then: a number is shown whole or not at all
    Wrap,    // laid out to fit (one line of a text the layout broke): whole
};

// One line of text in the column [x, x + width), its top at y, placed in the
// column by its alignment. A column 0 wide has no end: the text starts at x,
// or ends there when it is right-aligned.
struct TextOp {
    std::string text;  // UTF-8
    float x = 0;
    float y = 0;
    float width = 0;
    float size = 12;  // points
    bool bold = false;
    Allinea allinea = Allinea::Sinistra;
    Fit fit = Fit::Wrap;
    bool operator==(const TextOp&) const = default;
};

// A straight line `thickness` dots wide (a dot is a pixel of the page, a
// point of a sheet) in a grey level, 0 being black.
struct LineOp {
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    float thickness = 1;
    int grey = 0;
    bool operator==(const LineOp&) const = default;
};

// A rectangle filled with a colour given as 0xRRGGBB.
struct BoxOp {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    std::uint32_t rgb = 0;
    bool operator==(const BoxOp&) const = default;
};

// A place the window puts a control on (the save button of an attachment:
// `index` counts the file's attachments from 0). Nothing is drawn there.
struct AnchorOp {
    int index = 0;
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    bool operator==(const AnchorOp&) const = default;
};

using DrawOp = std::variant<ClearOp, TextOp, LineOp, BoxOp, AnchorOp>;

// One sheet (a document's page is one sheet as long as it needs): its
// operations in drawing order, and the rows at which a page may be cut when
// it is printed on several sheets (between two invoice lines and between the
// blocks below them).
struct Sheet {
    std::vector<DrawOp> ops;
    std::vector<float> breakRows;
};

// One line of text per operation, for tests and for reading a sheet by eye:
// `text 36 40.5 w200 8 bold left "Documento 1 di 2" wrap` (the column 0
// wide: no fit), `line 1,8 80,8 t1 g0`, `box 1 11 79x1 #FFFF00`,
// `anchor 0 500 700 40x12`, `clear`.
std::string describe(const DrawOp& op);

// The texts of the sheets as plain lines: the texts of each row (the same
// top) from left to right, separated by two blanks; rows from top to
// bottom, sheets one after the other.
std::string sheetText(const std::vector<Sheet>& sheets);

}  // namespace crv
