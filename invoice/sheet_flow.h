#pragma once
// Lays rows of text cells down A4 sheets: each cell's text wrapped to its
// column, a row moved to the next sheet when it does not fit, a row taller
// than a sheet continued on the next one line by line (never cut), a
// table's head drawn again at the top of each continuation sheet, and the
// page number "n di m" at the foot of every sheet.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "invoice/sheet_painter.h"

namespace crv {

// Where the text lies between the sheet's edges.
inline constexpr float kSheetMargin = 36;
inline constexpr float kContentWidth = kSheetWidth - 2 * kSheetMargin;

// A paragraph of a cell.
struct Para {
    std::string text;
    float size = 8;
    bool bold = false;
    Allinea allinea = Allinea::Sinistra;
};

// A cell: its paragraphs one below the other; no paragraph leaves it blank.
struct Cell {
    std::vector<Para> paras;
};

// A column: its left edge and width in points.
struct Column {
    float x = kSheetMargin;
    float width = kContentWidth;
};

// How a row looks: a filled band, a rule below it, an anchor over one cell.
struct RowStyle {
    std::uint32_t fill = 0xFFFFFF;  // white: no band
    bool ruleBelow = true;
    int anchorIndex = -1;   // the anchor's index, -1 for none
    int anchorColumn = -1;  // the cell it covers
};

// Columns side by side over the content width: fixed widths, and the
// width left shared by the columns given 0.
std::vector<Column> columnsOf(const std::vector<float>& widths);

class SheetFlow {
public:
    explicit SheetFlow(const Face& face);

    // A row of cells, one per column.
    void row(const std::vector<Column>& columns, const std::vector<Cell>& cells, const RowStyle& style = {});
    // A band across the content width with a bold title; kept with what
    // follows (`keep` points of it) on the same sheet.
    void heading(const std::string& text, float size, std::uint32_t fill, float keep);
    // White space.
    void gap(float points);
    // Starts a new sheet unless this much room is left.
    void keep(float points);
    // A table's head: drawn now and again at the top of every sheet begun
    // until endTable().
    void beginTable(std::function<void()> head);
    void endTable();

    // The sheets, each with its foot: `title` on the left and "Pagina n di m".
    std::vector<Sheet> finish(const std::string& title);

private:
    void newSheet();
    float bottom() const;

    const Face& face_;
    std::vector<Sheet> sheets_;
    float y_ = kSheetMargin;
    bool fresh_ = true;  // nothing but a repeated head on the sheet yet
    std::function<void()> head_;
    bool drawingHead_ = false;
};

}  // namespace crv
