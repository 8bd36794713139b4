#include "xml/markup_scanner.h"

#include <array>
#include <cstring>

namespace crv {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The parser's name characters: ASCII letters, '_', ':' and every byte
// above ASCII start a name; digits, '-' and '.' may follow.
constexpr std::array<bool, 256> nameStartTable()
{
    std::array<bool, 256> t{};
    for (int c = 'a'; c <= 'z'; ++c) t[static_cast<std::size_t>(c)] = true;
    for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<std::size_t>(c)] = true;
    t['_'] = t[':'] = true;
    for (std::size_t c = 0x80; c < 256; ++c) t[c] = true;
    return t;
}

constexpr std::array<bool, 256> kNameStart = nameStartTable();

constexpr std::array<bool, 256> nameCharTable()
{
    std::array<bool, 256> t = nameStartTable();
    for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = true;
    t['-'] = t['.'] = true;
    return t;
}

constexpr std::array<bool, 256> kNameChar = nameCharTable();

// Bytes that end the plain run inside a start tag.
constexpr std::array<bool, 256> tagStopTable()
{
    std::array<bool, 256> t{};
    t['>'] = t['"'] = t['\''] = true;
    return t;
}

constexpr std::array<bool, 256> kTagStop = tagStopTable();

bool startsWithAt(std::string_view text, std::size_t pos, std::string_view prefix)
{
    return text.substr(pos, prefix.size()) == prefix;
}

// One past the terminator searched from `from`; npos when missing.
std::size_t after(std::string_view text, std::size_t from, std::string_view terminator)
{
    if (from > text.size()) return npos;
    const std::size_t at = text.find(terminator, from);
    return at == npos ? npos : at + terminator.size();
}

// The end of a start tag whose name starts at `from`: the first '>' that no
// quoted value holds.
Markup startTag(std::string_view text, std::size_t from)
{
    Markup m;
    m.kind = MarkupKind::StartTag;
    const auto* data = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = from;
    while (i < text.size() && kNameChar[data[i]]) ++i;
    m.nameEnd = i;
    for (;;) {
        while (i < text.size() && !kTagStop[data[i]]) ++i;
        if (i >= text.size()) return m;
        if (data[i] == '>') break;
        const void* close = std::memchr(text.data() + i + 1, text[i], text.size() - i - 1);
        if (close == nullptr) return m;
        i = static_cast<std::size_t>(static_cast<const char*>(close) - text.data()) + 1;
    }
    m.end = i + 1;
    m.selfClosed = text[i - 1] == '/';
    return m;
}

}  // namespace

bool startsName(char c)
{
    return kNameStart[static_cast<unsigned char>(c)];
}

bool isNameChar(char c)
{
    return kNameChar[static_cast<unsigned char>(c)];
}

Markup markupAt(std::string_view text, std::size_t pos, bool complete)
{
    Markup m;
    const std::size_t rest = text.size() - pos;
    // Up to nine characters tell the kind ("<![CDATA[", "<!DOCTYPE").
    const auto undecided = [&](std::size_t needed) { return !complete && rest < needed; };
    if (rest < 2) {
        m.known = complete;
        return m;  // Invalid, or not yet known
    }
    const char c = text[pos + 1];
    if (startsName(c)) return startTag(text, pos + 1);
    if (c == '/') {
        m.kind = MarkupKind::EndTag;
        std::size_t i = pos + 2;
        while (i < text.size() && isNameChar(text[i])) ++i;
        m.nameEnd = i;
        const void* gt = i < text.size() ? std::memchr(text.data() + i, '>', text.size() - i) : nullptr;
        m.end = gt ? static_cast<std::size_t>(static_cast<const char*>(gt) - text.data()) + 1 : npos;
        return m;
    }
    if (c == '?') {
        m.kind = MarkupKind::Instruction;
        m.end = after(text, pos + 2, "?>");
        return m;
    }
    if (c != '!') return m;  // Invalid
    if (startsWithAt(text, pos, "<!--")) {
        m.kind = MarkupKind::Comment;
        m.end = after(text, pos + 4, "-->");
        return m;
    }
    if (startsWithAt(text, pos, "<![CDATA[")) {
        m.kind = MarkupKind::CData;
        m.end = after(text, pos + 9, "]]>");
        return m;
    }
    if (startsWithAt(text, pos, "<!DOCTYPE")) {
        m.kind = MarkupKind::Doctype;
        return m;  // its end is the parser's business: a DTD is refused anyway
    }
    // A prefix of one of those may still become it.
    for (const std::string_view known : {"<!--", "<![CDATA[", "<!DOCTYPE"}) {
        if (undecided(known.size()) && known.starts_with(text.substr(pos))) {
            m.known = false;
            return m;
        }
    }
    return m;  // Invalid
}

std::size_t ElementEnd::find(std::string_view text, bool complete)
{
    invalid_ = npos;
    const auto* const data = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    while (pos_ < size) {
        const void* lt = std::memchr(data + pos_, '<', size - pos_);
        if (lt == nullptr) {
            pos_ = size;
            break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(lt) - data);
        if (at + 1 >= size && !complete) {
            pos_ = at;
            return npos;
        }
        // The common tags first, without their names: only their ends count here.
        const unsigned char next = at + 1 < size ? data[at + 1] : 0;
        if (next == '/') {
            const void* gt = std::memchr(data + at + 2, '>', size - std::min(size, at + 2));
            if (gt == nullptr) {
                pos_ = at;
                return npos;
            }
            pos_ = static_cast<std::size_t>(static_cast<const unsigned char*>(gt) - data) + 1;
            if (--depth_ == 0) return pos_;
            continue;
        }
        if (kNameStart[next]) {
            std::size_t i = at + 2;
            for (;;) {
                while (i < size && !kTagStop[data[i]]) ++i;
                if (i >= size || data[i] == '>') break;
                const void* close = std::memchr(data + i + 1, data[i], size - i - 1);
                i = close == nullptr ? size : static_cast<std::size_t>(static_cast<const unsigned char*>(close) - data) + 1;
            }
            if (i >= size) {
                pos_ = at;
                return npos;
            }
            if (data[i - 1] != '/') ++depth_;
            pos_ = i + 1;
            continue;
        }
        const Markup m = markupAt(text, at, complete);
        if (!m.known) {
            pos_ = at;
            return npos;
        }
        // Inside an element the parser refuses a DTD too.
        if (m.kind == MarkupKind::Invalid || m.kind == MarkupKind::Doctype) {
            invalid_ = at;
            return npos;
        }
        if (m.end == npos) {
            pos_ = at;
            return npos;
        }
        pos_ = m.end;
    }
    return npos;
}

}  // namespace crv
