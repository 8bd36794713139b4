#include "xml/xml_decoding.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace crv {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string asciiLower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

// The encoding named by the XML declaration at the very start of an 8-bit file.
struct Declaration {
    std::string name;         // lower case; empty when none is named
    std::size_t offset = 0;   // where the name starts
};

Declaration declaredEncoding(std::string_view bytes)
{
    if (!startsWith(bytes, "<?xml") || bytes.size() < 6 || !isXmlSpace(bytes[5])) return {};
    const std::size_t end = bytes.find("?>");
    const std::string_view decl = bytes.substr(0, end == std::string_view::npos ? 1024 : end);
    std::size_t pos = decl.find("encoding");
    if (pos == std::string_view::npos) return {};
    pos += 8;
    while (pos < decl.size() && isXmlSpace(decl[pos])) ++pos;
    if (pos >= decl.size() || decl[pos] != '=') return {};
    ++pos;
    while (pos < decl.size() && isXmlSpace(decl[pos])) ++pos;
    if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return {};
    const char quote = decl[pos++];
    const std::size_t close = decl.find(quote, pos);
    if (close == std::string_view::npos) return {};
    return {asciiLower(decl.substr(pos, close - pos)), pos};
}

enum class Family { Unnamed, Utf8, Wide, Windows1252, Other };

Family familyOf(const std::string& name)
{
    if (name.empty()) return Family::Unnamed;
    if (name == "utf-8" || name == "utf8") return Family::Utf8;
    for (const std::string_view wide : {"utf-16", "utf16", "utf-32", "utf32", "ucs-2", "ucs2", "ucs-4",
                                        "iso-10646-ucs", "unicode"}) {
        if (startsWith(name, wide)) return Family::Wide;
    }
    // Latin-1 is read as windows-1252: the two agree except on 0x80-0x9F,
    // where Latin-1 has control characters that no real text uses and the
    // files that say Latin-1 mean the Windows code page (the euro sign).
    static constexpr std::array<std::string_view, 16> latin = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "iso_8859-1:1987", "latin1", "latin-1", "l1",
        "iso-ir-100", "cp819", "ibm819", "csisolatin1", "windows-1252", "cp1252", "x-cp1252",
        "us-ascii", "ascii"};
    if (std::find(latin.begin(), latin.end(), name) != latin.end()) return Family::Windows1252;
    return Family::Other;
}

}  // namespace

EncodingChoice chooseEncoding(std::string_view head)
{
    using Kind = EncodingChoice::Kind;
    EncodingChoice choice;
    if (startsWith(head, kUtf8Bom)) {
        choice.kind = Kind::Utf8;
        choice.skip = kUtf8Bom.size();
        return choice;
    }
    if (startsWith(head, "\xFF\xFE") || startsWith(head, "\xFE\xFF")) {
        choice.kind = head[0] == '\xFF' ? Kind::Utf16LE : Kind::Utf16BE;
        choice.skip = 2;
        return choice;
    }
    // UTF-16 without a byte order mark: the first character is '<' and the
    // next one is ASCII too ("<?xml" or the root's name).
    if (head.size() >= 4) {
        if (head[0] == '<' && head[1] == '\0' && head[2] != '\0' && head[3] == '\0') {
            choice.kind = Kind::Utf16LE;
            return choice;
        }
        if (head[0] == '\0' && head[1] == '<' && head[2] == '\0' && head[3] != '\0') {
            choice.kind = Kind::Utf16BE;
            return choice;
        }
    }
    const Declaration decl = declaredEncoding(head);
    switch (familyOf(decl.name)) {
    case Family::Utf8:
        choice.kind = Kind::Utf8;
        break;
    case Family::Unnamed:
    case Family::Wide:  // the declaration itself was read as 8-bit text, so it is wrong
        choice.kind = Kind::Utf8OrWindows1252;
        break;
    case Family::Windows1252:
        choice.kind = Kind::Windows1252;
        break;
    case Family::Other:
        choice.kind = Kind::Named;
        choice.name = decl.name;
        choice.nameOffset = decl.offset;
        break;
    }
    return choice;
}

EncodingWidth widthOf(std::string_view declaredName)
{
    switch (familyOf(asciiLower(declaredName))) {
    case Family::Utf8: return EncodingWidth::Utf8;
    case Family::Wide: return EncodingWidth::Wide;
    default: return EncodingWidth::EightBit;
    }
}

}  // namespace crv
