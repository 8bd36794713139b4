#include "xml/xml_decoding.h"

#include "text/encoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <string_view>

namespace crv {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr const char* kBadCharacter = kCarattereNonValido;
constexpr const char* kUnsupported = kCodificaNonSupportata;
constexpr const char* kNulCharacter = kCarattereNullo;

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

DecodedXml failure(std::string text, std::size_t offset, const char* reason)
{
    DecodedXml out;
    out.text = std::move(text);
    out.ok = false;
    out.errorOffset = std::min(offset, out.text.size());
    out.reason = reason;
    return out;
}

// The bytes with each malformed UTF-8 sequence replaced by U+FFFD. The text
// before the first bad byte is unchanged, so firstBad is an offset in both.
std::string sanitizeUtf8(std::string_view bytes, std::size_t& firstBad)
{
    firstBad = bytes.size();
    std::string out;
    out.reserve(bytes.size() + 16);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t len = utf8LeadLength(static_cast<unsigned char>(bytes[i]));
        if (len != 0 && i + len <= bytes.size() && isValidUtf8(bytes.substr(i, len))) {
            out.append(bytes.substr(i, len));
            i += len;
            continue;
        }
        if (firstBad == bytes.size()) firstBad = i;
        out.append(kReplacement);
        ++i;
    }
    return out;
}

DecodedXml decodeUtf16(std::string_view bytes, bool bigEndian)
{
    DecodedXml out;
    out.text.reserve(bytes.size() / 2 + bytes.size() / 8 + 1);
    const auto unitAt = [&](std::size_t u) -> char32_t {
        const auto b0 = static_cast<unsigned char>(bytes[2 * u]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * u + 1]);
        return bigEndian ? (char32_t{b0} << 8) | b1 : (char32_t{b1} << 8) | b0;
    };
    const auto markBad = [&out] {
        if (!out.ok) return;
        out.ok = false;
        out.errorOffset = out.text.size();
        out.reason = kBadCharacter;
    };
    const std::size_t units = bytes.size() / 2;
    for (std::size_t u = 0; u < units; ++u) {
        const char32_t unit = unitAt(u);
        if (unit >= 0xD800 && unit <= 0xDBFF && u + 1 < units) {
            const char32_t low = unitAt(u + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out.text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++u;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {  // a surrogate without its pair
            markBad();
            out.text.append(kReplacement);
            continue;
        }
        appendUtf8(out.text, unit);
    }
    if (bytes.size() % 2 != 0) markBad();  // the file ends in the middle of a character
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

DecodedXml decodeWithQt(std::string bytes, const EncodingChoice& choice)
{
    QStringDecoder decoder(choice.name.c_str());
    if (!decoder.isValid()) return failure(cp1252ToUtf8(bytes), choice.nameOffset, kUnsupported);

    // In slices, so that no UTF-16 copy of the whole file is ever held.
    constexpr std::size_t kSlice = std::size_t{1} << 20;
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 4 + 1);
    for (std::size_t pos = 0; pos < bytes.size(); pos += kSlice) {
        const std::size_t n = std::min(kSlice, bytes.size() - pos);
        const QString part = decoder.decode(QByteArrayView(bytes.data() + pos, static_cast<qsizetype>(n)));
        const QByteArray utf8 = part.toUtf8();
        text.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    if (decoder.hasError()) {
        const std::size_t bad = std::min(text.find(kReplacement), text.size());
        return failure(std::move(text), bad, kBadCharacter);
    }
    DecodedXml out;
    out.text = std::move(text);
    return out;
}

DecodedXml decodeUtf8(std::string bytes, bool mustBeUtf8)
{
    if (isValidUtf8(bytes)) {
        DecodedXml out;
        out.text = std::move(bytes);
        return out;
    }
    if (!mustBeUtf8) {
        DecodedXml out;
        out.text = cp1252ToUtf8(bytes);
        return out;
    }
    std::size_t firstBad = 0;
    std::string shown = sanitizeUtf8(bytes, firstBad);
    return failure(std::move(shown), firstBad, kBadCharacter);
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

namespace {

DecodedXml decodeAny(std::string bytes)
{
    using Kind = EncodingChoice::Kind;
    const EncodingChoice choice = chooseEncoding(bytes);
    const std::string_view view(bytes);
    switch (choice.kind) {
    case Kind::Utf8:
        bytes.erase(0, choice.skip);
        return decodeUtf8(std::move(bytes), true);
    case Kind::Utf8OrWindows1252:
        return decodeUtf8(std::move(bytes), false);
    case Kind::Windows1252: {
        DecodedXml out;
        out.text = cp1252ToUtf8(bytes);
        return out;
    }
    case Kind::Utf16LE:
    case Kind::Utf16BE:
        return decodeUtf16(view.substr(choice.skip), choice.kind == Kind::Utf16BE);
    case Kind::Named:
        break;
    }
    return decodeWithQt(std::move(bytes), choice);
}

}  // namespace

DecodedXml decodeXmlBytes(std::string bytes)
{
    DecodedXml out = decodeAny(std::move(bytes));
    // A NUL would end the parse early and silently drop the rest of the file.
    if (out.ok) {
        const std::size_t nul = out.text.find('\0');
        if (nul != std::string::npos) return failure(std::move(out.text), nul, kNulCharacter);
    }
    return out;
}

}  // namespace crv
