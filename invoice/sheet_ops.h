#pragma once
// The complete view as A4 sheets of drawing operations in points (1/72
// inch) from the sheet's top-left corner. One painter turns them into pixels
// on any device (the window, an image, a PDF), and tests read the list.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace crv {

// A4 portrait in points.
inline constexpr float kSheetWidth = 595.28f;
inline constexpr float kSheetHeight = 841.89f;

enum class Allinea { Sinistra, Destra, Centro };

// One line of text inside the column [x, x + width): its top at y, placed
// by the alignment. The layout has measured it to fit the column.
struct SheetText {
    std::string text;  // UTF-8, one line
    float x = 0;
    float y = 0;
    float width = 0;
    float size = 8;  // points, whole or half
    bool bold = false;
    Allinea allinea = Allinea::Sinistra;
    bool operator==(const SheetText&) const = default;
};

// A straight line in a grey level (0 black), `thickness` points wide.
struct SheetLine {
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    float thickness = 0.5f;
    int grey = 0;
    bool operator==(const SheetLine&) const = default;
};

// A rectangle filled with a colour given as 0xRRGGBB.
struct SheetBox {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    std::uint32_t rgb = 0;
    bool operator==(const SheetBox&) const = default;
};

// A place the window puts a control on (the save button of an attachment:
// `index` counts the file's attachments from 0). Painters draw nothing.
struct SheetAnchor {
    int index = 0;
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    bool operator==(const SheetAnchor&) const = default;
};

using SheetOp = std::variant<SheetText, SheetLine, SheetBox, SheetAnchor>;

// One sheet: its operations in drawing order.
struct Sheet {
    std::vector<SheetOp> ops;
};

// The sheets of one invoice file.
struct SheetDocument {
    std::vector<Sheet> sheets;
};

// One line of text per operation, for tests and for reading a sheet by eye:
// `text 36 40.5 w200 8 bold left "Documento 1 di 2"`, `line 36 50-559 50`,
// `box 36 50 523x14 #E6E6E6`, `anchor 0 500 700 40x12`.
std::string describe(const SheetOp& op);

// The texts of the sheets as plain lines: the texts of each row (the same
// top) from left to right, separated by two blanks; rows from top to
// bottom, sheets one after the other.
std::string sheetText(const SheetDocument& document);

}  // namespace crv
