#include "invoice/draw_ops.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

namespace crv {
namespace {

// The shortest text that reads back the same number ("36", "40.5", "0.2"):
// to_chars, unlike printf, ignores the C locale.
std::string number(float value)
{
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

// The text in double quotes, with `"` and `\` escaped by a backslash.
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
    std::string operator()(const ClearOp&) const { return "clear"; }
    std::string operator()(const TextOp& t) const
    {
        static const char* const align[] = {"left", "right", "centre"};
        static const char* const fit[] = {" cut", " shrink", " wrap"};
        return "text " + number(t.x) + " " + number(t.y) + " w" + number(t.width) + " " + number(t.size) +
               (t.bold ? " bold " : " regular ") + align[static_cast<int>(t.allinea)] + " " + quoted(t.text) +
               (t.width != 0 ? fit[static_cast<int>(t.fit)] : "");
    }
    std::string operator()(const LineOp& l) const
    {
        return "line " + number(l.x1) + "," + number(l.y1) + " " + number(l.x2) + "," + number(l.y2) + " t" +
               number(l.thickness) + " g" + std::to_string(l.grey);
    }
    std::string operator()(const BoxOp& b) const
    {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(b.rgb & 0xFFFFFF));
        return "box " + number(b.x) + " " + number(b.y) + " " + number(b.width) + "x" + number(b.height) + " " + colour;
    }
    std::string operator()(const AnchorOp& a) const
    {
        return "anchor " + std::to_string(a.index) + " " + number(a.x) + " " + number(a.y) + " " + number(a.width) +
               "x" + number(a.height);
    }
};

}  // namespace

std::string describe(const DrawOp& op)
{
    return std::visit(Describer{}, op);
}

std::string sheetText(const std::vector<Sheet>& sheets)
{
    std::string out;
    for (const Sheet& sheet : sheets) {
        std::map<float, std::vector<const TextOp*>> rows;
        for (const DrawOp& op : sheet.ops) {
            if (const auto* t = std::get_if<TextOp>(&op)) rows[t->y].push_back(t);
        }
        for (auto& [y, texts] : rows) {
            std::stable_sort(texts.begin(), texts.end(), [](const TextOp* a, const TextOp* b) { return a->x < b->x; });
            std::string line;
            for (const TextOp* t : texts) {
                if (!line.empty()) line += "  ";
                line += t->text;
            }
            out += line + "\n";
        }
    }
    return out;
}

}  // namespace crv
