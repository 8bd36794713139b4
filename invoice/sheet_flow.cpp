#include "invoice/sheet_flow.h"

#include <algorithm>

namespace crv {
namespace {

constexpr float kPadX = 2.5f;
constexpr float kPadY = 2;
constexpr float kFootSize = 7;
constexpr int kRuleGrey = 170;

// One wrapped line of a cell, with the room it takes.
struct CellLine {
    std::string text;
    float size;
    bool bold;
    Allinea allinea;
    float height;
};

// The text of a paragraph in lines no wider than its column: most hold one
// line that fits, measured once and kept whole.
std::vector<std::string> cellLines(const Face& face, std::string_view text, float width, float size, bool bold)
{
    std::vector<std::string> lines;
    if (text.find('\n') == std::string_view::npos && face.width(text, size, bold) <= width) {
        const QString one = cleaned(text).simplified();
        if (!one.isEmpty()) lines.push_back(one.toStdString());
        return lines;
    }
    for (const QString& line : face.lines(cleaned(text), width, size, bold)) lines.push_back(line.toStdString());
    return lines;
}

}  // namespace

std::vector<Column> columnsOf(const std::vector<float>& widths)
{
    float fixed = 0;
    int flexible = 0;
    for (const float w : widths) {
        fixed += w;
        if (w <= 0) ++flexible;
    }
    const float share = flexible > 0 ? std::max(0.0f, (kContentWidth - fixed) / static_cast<float>(flexible)) : 0;
    std::vector<Column> columns;
    float x = kSheetMargin;
    for (const float w : widths) {
        const float width = w > 0 ? w : share;
        columns.push_back({x, width});
        x += width;
    }
    return columns;
}

SheetFlow::SheetFlow(const Face& face) : face_(face)
{
    sheets_.emplace_back();
}

float SheetFlow::bottom() const
{
    return kSheetHeight - kSheetMargin - face_.lineHeight(kFootSize) - 4;
}

void SheetFlow::newSheet()
{
    sheets_.emplace_back();
    y_ = kSheetMargin;
    fresh_ = true;
    if (head_ && !drawingHead_) {
        drawingHead_ = true;
        head_();
        drawingHead_ = false;
        fresh_ = true;  // a head alone does not make the sheet worth leaving
    }
}

void SheetFlow::keep(float points)
{
    if (!fresh_ && y_ + points > bottom()) newSheet();
}

void SheetFlow::gap(float points)
{
    if (!fresh_) y_ = std::min(y_ + points, bottom());
}

void SheetFlow::beginTable(std::function<void()> head)
{
    head_ = std::move(head);
    drawingHead_ = true;
    head_();
    drawingHead_ = false;
}

void SheetFlow::endTable()
{
    head_ = nullptr;
}

void SheetFlow::heading(const std::string& text, float size, std::uint32_t fill, float keepPoints)
{
    keep(face_.lineHeight(size) + 2 * kPadY + keepPoints);
    RowStyle style;
    style.fill = fill;
    style.ruleBelow = false;
    row({Column{}}, {Cell{{Para{text, size, true}}}}, style);
}

void SheetFlow::row(const std::vector<Column>& columns, const std::vector<Cell>& cells, const RowStyle& style)
{
    // Every cell's paragraphs wrapped to its column.
    std::vector<std::vector<CellLine>> lines(columns.size());
    for (std::size_t c = 0; c < columns.size() && c < cells.size(); ++c) {
        const float width = std::max(1.0f, columns[c].width - 2 * kPadX);
        for (const Para& p : cells[c].paras) {
            for (std::string& text : cellLines(face_, p.text, width, p.size, p.bold))
                lines[c].push_back({std::move(text), p.size, p.bold, p.allinea, face_.lineHeight(p.size)});
        }
    }
    const auto heightFrom = [&](std::size_t c, std::size_t from) {
        float h = 0;
        for (std::size_t k = from; k < lines[c].size(); ++k) h += lines[c][k].height;
        return h;
    };
    float whole = 0;
    for (std::size_t c = 0; c < lines.size(); ++c) whole = std::max(whole, heightFrom(c, 0));
    whole += 2 * kPadY;
    // A row that fits on an empty sheet is not split.
    if (!fresh_ && y_ + whole > bottom() && whole <= bottom() - kSheetMargin) newSheet();

    std::vector<std::size_t> next(lines.size(), 0);
    bool first = true;
    for (;;) {
        // The lines of each cell that fit in the room left on this sheet.
        const float room = bottom() - y_ - 2 * kPadY;
        std::vector<std::size_t> until(lines.size());
        float height = 0;
        bool any = false;
        bool done = true;
        for (std::size_t c = 0; c < lines.size(); ++c) {
            float h = 0;
            std::size_t k = next[c];
            while (k < lines[c].size() && h + lines[c][k].height <= room) h += lines[c][k++].height;
            until[c] = k;
            height = std::max(height, h);
            any = any || k > next[c];
            done = done && k == lines[c].size();
        }
        if (!any && !done && !fresh_) {
            newSheet();
            continue;
        }
        if (!any && !done) {
            // Not even one line fits on an empty sheet: cannot happen with
            // the sizes used, but never loop for ever.
            for (std::size_t c = 0; c < lines.size(); ++c) until[c] = lines[c].size();
            done = true;
        }
        const float segment = height + 2 * kPadY;
        Sheet& sheet = sheets_.back();
        const float left = columns.front().x;
        const float right = columns.back().x + columns.back().width;
        if (style.fill != 0xFFFFFF) sheet.ops.push_back(BoxOp{left, y_, right - left, segment, style.fill});
        for (std::size_t c = 0; c < lines.size(); ++c) {
            float top = y_ + kPadY;
            for (std::size_t k = next[c]; k < until[c]; ++k) {
                const CellLine& l = lines[c][k];
                sheet.ops.push_back(TextOp{l.text, columns[c].x + kPadX, top, columns[c].width - 2 * kPadX, l.size, l.bold,
                                            l.allinea});
                top += l.height;
            }
            next[c] = until[c];
        }
        if (first && style.anchorIndex >= 0 && style.anchorColumn >= 0 &&
            static_cast<std::size_t>(style.anchorColumn) < columns.size()) {
            const Column& a = columns[static_cast<std::size_t>(style.anchorColumn)];
            sheet.ops.push_back(AnchorOp{style.anchorIndex, a.x + kPadX, y_ + kPadY, a.width - 2 * kPadX,
                                         std::max(segment - 2 * kPadY, face_.lineHeight(8))});
        }
        first = false;
        y_ += segment;
        if (style.ruleBelow) sheet.ops.push_back(LineOp{left, y_, right, y_, 0.4f, kRuleGrey});
        fresh_ = false;
        if (done) break;
        newSheet();
    }
}

std::vector<Sheet> SheetFlow::finish(const std::string& title)
{
    std::vector<Sheet> out = std::move(sheets_);
    const std::size_t m = out.size();
    const float top = kSheetHeight - kSheetMargin - face_.lineHeight(kFootSize);
    for (std::size_t n = 0; n < m; ++n) {
        Sheet& sheet = out[n];
        const std::string page = "Pagina " + std::to_string(n + 1) + " di " + std::to_string(m);
        const float pageWidth = face_.width(page, kFootSize, false) + 1;
        sheet.ops.push_back(LineOp{kSheetMargin, top - 2, kSheetWidth - kSheetMargin, top - 2, 0.4f, kRuleGrey});
        // The title takes what the page number leaves; a long one is shortened at its start.
        const float titleWidth = kContentWidth - pageWidth - 12;
        std::string shown = title;
        for (std::size_t start = 0; start < title.size() && face_.width(shown, kFootSize, false) > titleWidth;) {
            do ++start;
            while (start < title.size() && (static_cast<unsigned char>(title[start]) & 0xC0) == 0x80);
            shown = "..." + title.substr(start);
        }
        if (!shown.empty()) sheet.ops.push_back(TextOp{shown, kSheetMargin, top, titleWidth, kFootSize});
        sheet.ops.push_back(
            TextOp{page, kSheetWidth - kSheetMargin - pageWidth, top, pageWidth, kFootSize, false, Allinea::Destra});
        // The texts after the lines and boxes, which they are drawn over.
        std::stable_partition(sheet.ops.begin(), sheet.ops.end(),
                              [](const DrawOp& op) { return !std::holds_alternative<TextOp>(op); });
    }
    sheets_.assign(1, Sheet{});
    return out;
}

}  // namespace crv
