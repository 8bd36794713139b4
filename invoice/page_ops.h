#pragma once
// The invoice page as a list of drawing operations in grid units: a column
// is 14 pixels, a row `Interlinea` pixels. One painter turns the list into
// pixels on any device (the window, an image, a PDF), so they cannot drift
// apart, and tests compare the list itself.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace crv {

// Erases the page: everything drawn so far is gone, the page is white.
struct ClearOp {
    bool operator==(const ClearOp&) const = default;
};

// What a text wider than the room up to its limit becomes.
enum class Fit {
    Cut,     // cut at the limit, "…" showing that more follows
    Shrink,  // drawn smaller, down to 6 points, and left out when it does
             // not fit even then: a number is shown whole or not at all
    Wrap,    // one line of a text the layout broke to fit its column: whole
};

// Text whose top-left corner lies at (x, y); with alignRight its right end
// lies at column x instead, measured in the font it is drawn in. With a
// limit, the text stays between column x and the limit (its right end for a
// left text, its left end for a right one).
struct TextOp {
    std::string text;  // UTF-8
    int x = 0;         // column
    float y = 0;       // row
    int size = 12;     // points
    bool bold = false;
    bool alignRight = false;
    int limit = 0;     // column; 0 for none
    Fit fit = Fit::Cut;
    bool operator==(const TextOp&) const = default;
};

// A line one pixel wide in the text colour.
struct LineOp {
    int x1 = 0;
    int x2 = 0;
    float y1 = 0;
    float y2 = 0;
    bool operator==(const LineOp&) const = default;
};

// The rectangle between two grid positions filled with a colour given as
// red in the low byte, then green, then blue (0x00FFFF is yellow).
struct BoxOp {
    int x1 = 0;
    int x2 = 0;
    float y1 = 0;
    float y2 = 0;
    std::uint32_t colore = 0;
    bool operator==(const BoxOp&) const = default;
};

// Any one of the operations.
using DrawOp = std::variant<ClearOp, TextOp, LineOp, BoxOp>;

// One invoice page: its operations in drawing order.
struct InvoicePage {
    std::vector<DrawOp> ops;
    // Rows at which the page may be cut when it is printed on several
    // sheets: between two invoice lines and between the blocks below them.
    std::vector<float> breakRows;
};

// Pixels per column of the page grid.
inline constexpr int kColumnPixels = 14;

// One line of text per operation, for tests and for reading a page by eye:
// `text 2 1 14 bold left "DATI CEDENTE/PRESTATORE"`, `line 1-80 8-8`,
// `box 1-80 11-12 #FFFF00`, `clear`; a text's limit follows its text:
// `text 5 12 12 regular left "..." to 29 cut`, `... right "5.00" from 30 shrink`,
// `text 5 13 12 regular left "..." to 29 wrap`.
std::string describe(const DrawOp& op);

}  // namespace crv
