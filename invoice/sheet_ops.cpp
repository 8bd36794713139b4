#include "invoice/sheet_ops.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "invoice/op_description.h"

namespace crv {
namespace {

struct Describer {
    std::string operator()(const SheetText& t) const
    {
        static const char* const align[] = {"left", "right", "centre"};
        return "text " + shortestNumber(t.x) + " " + shortestNumber(t.y) + " w" + shortestNumber(t.width) + " " +
               shortestNumber(t.size) + (t.bold ? " bold " : " regular ") + align[static_cast<int>(t.allinea)] + " " +
               quotedText(t.text);
    }
    std::string operator()(const SheetLine& l) const
    {
        return "line " + shortestNumber(l.x1) + "," + shortestNumber(l.y1) + " " + shortestNumber(l.x2) + "," +
               shortestNumber(l.y2) + " t" + shortestNumber(l.thickness) + " g" + std::to_string(l.grey);
    }
    std::string operator()(const SheetBox& b) const
    {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(b.rgb & 0xFFFFFF));
        return "box " + shortestNumber(b.x) + " " + shortestNumber(b.y) + " " + shortestNumber(b.width) + "x" +
               shortestNumber(b.height) + " " + colour;
    }
    std::string operator()(const SheetAnchor& a) const
    {
        return "anchor " + std::to_string(a.index) + " " + shortestNumber(a.x) + " " + shortestNumber(a.y) + " " +
               shortestNumber(a.width) + "x" + shortestNumber(a.height);
    }
};

}  // namespace

std::string describe(const SheetOp& op)
{
    return std::visit(Describer{}, op);
}

std::string sheetText(const SheetDocument& document)
{
    std::string out;
    for (const Sheet& sheet : document.sheets) {
        std::map<float, std::vector<const SheetText*>> rows;
        for (const SheetOp& op : sheet.ops) {
            if (const auto* t = std::get_if<SheetText>(&op)) rows[t->y].push_back(t);
        }
        for (auto& [y, texts] : rows) {
            std::stable_sort(texts.begin(), texts.end(),
                             [](const SheetText* a, const SheetText* b) { return a->x < b->x; });
            std::string line;
            for (const SheetText* t : texts) {
                if (!line.empty()) line += "  ";
                line += t->text;
            }
            out += line + "\n";
        }
    }
    return out;
}

}  // namespace crv
