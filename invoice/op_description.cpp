#include "invoice/op_description.h"

#include <charconv>

namespace crv {

std::string shortestNumber(float value)
{
    // to_chars, unlike printf, ignores the C locale.
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string quotedText(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace crv
