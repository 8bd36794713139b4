#pragma once
// Column widths as Excel's AutoFit gives them, worked out while the cells are
// written (the spreadsheet library at hand cannot fit columns itself). Texts
// are measured in pixels of the workbook's default font (11-point Calibri at
// 96 dpi, whose digits are 7 pixels wide), character by character.
#include <string_view>

namespace crv::tools {

// Excel's widest column, in characters.
inline constexpr double kMaxColumnWidth = 255.0;

// Pixels of a UTF-8 text in the default font, regular or bold. Counting
// stops once `limit` is passed (a text that wide fills the widest column).
int textPixels(std::string_view utf8, bool bold = false, int limit = 1 << 30);

// The width, in characters, that AutoFit gives a column whose widest cell
// text is `pixels` wide: the text plus the cell's margins, at most 255.
double columnWidthForPixels(int pixels);

// The pixels beyond which a column is at its widest.
int maxColumnPixels();

// Keeps the widest text of one column.
class ColumnFit {
public:
    // Measures a text shown in the column (counting stops at the widest column).
    void text(std::string_view utf8, bool bold = false);
    // A text whose pixels are known (numbers and dates, measured once).
    void pixels(int px) { if (px > widest_) widest_ = px; }
    bool empty() const { return widest_ == 0; }
    double width() const { return columnWidthForPixels(widest_); }

private:
    int widest_ = 0;
};

}  // namespace crv::tools
