#include "invoice/page_ops.h"

#include <cstdio>

#include "invoice/op_description.h"

namespace crv {
namespace {

struct Describer {
    std::string operator()(const ClearOp&) const { return "clear"; }
    std::string operator()(const TextOp& t) const
    {
        std::string out = "text " + std::to_string(t.x) + " " + shortestNumber(t.y) + " " + std::to_string(t.size) +
                          (t.bold ? " bold" : " regular") + (t.alignRight ? " right " : " left ") + quotedText(t.text);
        if (t.limit != 0)
            out += (t.alignRight ? " from " : " to ") + std::to_string(t.limit) +
                   (t.fit == Fit::Cut ? " cut" : t.fit == Fit::Shrink ? " shrink" : " wrap");
        return out;
    }
    std::string operator()(const LineOp& l) const
    {
        return "line " + std::to_string(l.x1) + "-" + std::to_string(l.x2) + " " + shortestNumber(l.y1) + "-" +
               shortestNumber(l.y2);
    }
    std::string operator()(const BoxOp& b) const
    {
        // Shown as #RRGGBB, the usual order, from the red-in-the-low-byte value.
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%02X%02X%02X", b.colore & 0xFF, (b.colore >> 8) & 0xFF,
                      (b.colore >> 16) & 0xFF);
        return "box " + std::to_string(b.x1) + "-" + std::to_string(b.x2) + " " + shortestNumber(b.y1) + "-" +
               shortestNumber(b.y2) + " " + colour;
    }
};

}  // namespace

std::string describe(const DrawOp& op)
{
    return std::visit(Describer{}, op);
}

}  // namespace crv
