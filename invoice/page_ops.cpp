#include "invoice/page_ops.h"

#include <charconv>
#include <cstdio>

namespace crv {
namespace {

// A row as the shortest text that reads back the same ("8", "0.2").
std::string row(float y)
{
    // to_chars, unlike printf, ignores the C locale: "0.2" under any LC_NUMERIC.
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, y);
    return std::string(buf, result.ptr);
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
    std::string operator()(const ClearOp&) const { return "clear"; }
    std::string operator()(const TextOp& t) const
    {
        std::string out = "text " + std::to_string(t.x) + " " + row(t.y) + " " + std::to_string(t.size) +
                          (t.bold ? " bold" : " regular") + (t.alignRight ? " right " : " left ") + quoted(t.text);
        if (t.limit != 0)
            out += (t.alignRight ? " from " : " to ") + std::to_string(t.limit) +
                   (t.fit == Fit::Cut ? " cut" : " shrink");
        return out;
    }
    std::string operator()(const LineOp& l) const
    {
        return "line " + std::to_string(l.x1) + "-" + std::to_string(l.x2) + " " + row(l.y1) + "-" + row(l.y2);
    }
    std::string operator()(const BoxOp& b) const
    {
        // Shown as #RRGGBB, the usual order, from the red-in-the-low-byte value.
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%02X%02X%02X", b.colore & 0xFF, (b.colore >> 8) & 0xFF,
                      (b.colore >> 16) & 0xFF);
        return "box " + std::to_string(b.x1) + "-" + std::to_string(b.x2) + " " + row(b.y1) + "-" + row(b.y2) + " " +
               colour;
    }
};

}  // namespace

std::string describe(const DrawOp& op)
{
    return std::visit(Describer{}, op);
}

}  // namespace crv
