#include "xml/markup_bytes.h"

namespace crv::markup {

bool nameStartCode(char32_t c)
{
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool nameCode(char32_t c)
{
    return nameStartCode(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

char32_t decodeAt(std::string_view text, std::size_t i, std::size_t& length)
{
    const unsigned char* d = bytes(text);
    const unsigned char lead = d[i];
    length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > text.size()) {
        length = 0;
        return 0;
    }
    char32_t c = lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (d[i + k] & 0x3F);
    return c;
}

std::size_t slowNameEnd(std::string_view text, std::size_t i, bool first)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    while (i < n) {
        const unsigned char kind = (first ? kNameStartBytes : kNameBytes)[d[i]];
        if (kind == 0) return i;
        if (kind == 1) {
            ++i;
        } else {
            std::size_t length = 0;
            const char32_t c = decodeAt(text, i, length);
            if (length == 0) return n;
            if (!(first ? nameStartCode(c) : nameCode(c))) return i;
            i += length;
        }
        first = false;
    }
    return n;
}

bool nameGoesOn(std::string_view text, std::size_t i)
{
    const unsigned char k = kNameBytes[static_cast<unsigned char>(text[i])];
    if (k != 2) return k == 1;
    std::size_t length = 0;
    const char32_t c = decodeAt(text, i, length);
    return length == 0 || nameCode(c);
}

std::size_t lastCharacter(std::string_view text)
{
    std::size_t i = text.empty() ? 0 : text.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    return i;
}

constexpr std::size_t kShownMost = 40;

std::string excerpt(std::string_view text, std::size_t from, std::size_t to)
{
    to = std::min(to, text.size());
    std::size_t end = from;
    while (end < to && end - from < kShownMost && static_cast<unsigned char>(text[end]) >= 0x20) ++end;
    while (end < text.size() && end > from && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    std::string out(text.substr(from, end - from));
    if (end - from >= kShownMost && end < to) out += "...";
    return out;
}

std::size_t wordEnd(std::string_view text, std::size_t from)
{
    std::size_t i = from + 1;
    for (; i < text.size() && i - from <= kShownMost; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ';') return i + 1;
        if (c <= ' ' || c == '<' || c == '&' || c == '"' || c == '\'') return i;
    }
    return i < text.size() ? i : std::string_view::npos;
}

std::string withWhat(const char* reason, std::string_view what)
{
    return std::string(reason) + ": " + std::string(what);
}

}  // namespace crv::markup
