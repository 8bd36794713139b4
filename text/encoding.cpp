#include "text/encoding.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace crv {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of windows-1252 is Latin-1.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when malformed.
std::size_t decodeOne(std::string_view text, std::size_t i, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2; cp = b0 & 0x1F; min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3; cp = b0 & 0x0F; min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4; cp = b0 & 0x07; min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    appendCp1252AsUtf8(out, bytes);
    return out;
}

void appendCp1252AsUtf8(std::string& out, std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Runs of ASCII go across whole.
        const std::size_t j = firstNonAscii(bytes, i);
        out.append(bytes.data() + i, j - i);
        if (j == bytes.size()) break;
        const auto b = static_cast<unsigned char>(bytes[j]);
        appendUtf8(out, b < 0xA0 ? kHigh[b - 0x80] : static_cast<char32_t>(b));
        i = j + 1;
    }
}

std::size_t firstNonAscii(std::string_view text, std::size_t from)
{
    std::size_t i = from;
    // Eight bytes at a time: the bulk of any XML file is plain ASCII.
    while (i + 8 <= text.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
        i += 8;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i;
}

std::size_t wholeUtf8Prefix(std::string_view bytes, bool& broken)
{
    broken = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        i = firstNonAscii(bytes, i);
        if (i == bytes.size()) break;
        char32_t cp = 0;
        const std::size_t len = decodeOne(bytes, i, cp);
        if (len == 0) {
            const std::size_t lead = utf8LeadLength(static_cast<unsigned char>(bytes[i]));
            broken = lead < 2 || i + lead <= bytes.size();
            return i;
        }
        i += len;
    }
    return i;
}

std::string withNulShown(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t from = 0;;) {
        const std::size_t nul = text.find('\0', from);
        out.append(text.substr(from, nul == std::string_view::npos ? nul : nul - from));
        if (nul == std::string_view::npos) return out;
        out.append("\xEF\xBF\xBD");
        from = nul + 1;
    }
}

std::size_t utf8LeadLength(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

std::string utf8ToCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        std::size_t len = decodeOne(text, i, cp);
        if (len == 0) {  // not UTF-8: keep the byte as it stands
            out += text[i];
            ++i;
            continue;
        }
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (std::size_t k = 0; k < kHigh.size(); ++k) {
            if (kHigh[k] == cp) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

std::string utf8Valido(std::string_view bytes)
{
    if (isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        if (const std::size_t len = decodeOne(bytes, i, cp); len > 0) {
            out.append(bytes.substr(i, len));
            i += len;
        } else {
            appendCp1252AsUtf8(out, bytes.substr(i++, 1));
        }
    }
    return out;
}

bool isValidUtf8(std::string_view bytes)
{
    bool broken = false;
    return wholeUtf8Prefix(bytes, broken) == bytes.size();
}

std::size_t utf8Length(std::string_view text)
{
    std::size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::size_t utf8Offset(std::string_view text, std::size_t charIndex)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == charIndex) return i;
            ++seen;
        }
    }
    return text.size();
}

}  // namespace crv
