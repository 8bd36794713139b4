#include "invoice/sheet_ops.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

namespace crv {
namespace {

// The shortest text that reads back the same number ("36", "40.5"), under any C locale.
std::string num(float v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Describer {
    std::string operator()(const SheetText& t) const
    {
        static const char* const align[] = {"left", "right", "centre"};
        return "text " + num(t.x) + " " + num(t.y) + " w" + num(t.width) + " " + num(t.size) +
               (t.bold ? " bold " : " regular ") + align[static_cast<int>(t.allinea)] + " " + quoted(t.text);
    }
    std::string operator()(const SheetLine& l) const
    {
        return "line " + num(l.x1) + "," + num(l.y1) + " " + num(l.x2) + "," + num(l.y2) + " t" + num(l.thickness) +
               " g" + std::to_string(l.grey);
    }
    std::string operator()(const SheetBox& b) const
    {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(b.rgb & 0xFFFFFF));
        return "box " + num(b.x) + " " + num(b.y) + " " + num(b.width) + "x" + num(b.height) + " " + colour;
    }
    std::string operator()(const SheetAnchor& a) const
    {
        return "anchor " + std::to_string(a.index) + " " + num(a.x) + " " + num(a.y) + " " + num(a.width) + "x" +
               num(a.height);
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
            std::stable_sort(texts.begin(), texts.end(), [](const SheetText* a, const SheetText* b) { return a->x < b->x; });
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
