#include "xml/char_references.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace crv {
namespace {

constexpr std::uint32_t kBeyondUnicode = 0x110000;

bool allowedInXml(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c < kBeyondUnicode);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The character a reference at `amp` names, when it has the form the parser
// decodes ("&#" then decimal digits, or "x" and hex digits, then ";"); a
// value past U+10FFFF is kept there rather than wrapped, as the parser's own
// arithmetic would.
std::optional<std::uint32_t> referencedCharacter(std::string_view text, std::size_t amp)
{
    std::size_t i = amp + 2;  // past "&#"
    const bool hex = i < text.size() && text[i] == 'x';
    if (hex) ++i;
    const std::size_t digits = i;
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] != ';'; ++i) {
        const int digit = hex ? hexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (value >= kBeyondUnicode) value = kBeyondUnicode;
    }
    if (i >= text.size() || i == digits) return std::nullopt;
    return value;
}

// Where in the markup an offset lies, read from the start of the text only
// when a forbidden reference was found: a valid file never pays for it.
class MarkupContext {
public:
    explicit MarkupContext(std::string_view text) : text_(text) {}

    // True when the offset (of an "&") is in character data or in an
    // attribute value. Offsets must come in increasing order.
    bool decodedAt(std::size_t offset)
    {
        while (pos_ < offset) step(offset);
        return state_ == State::Content || state_ == State::Value;
    }

private:
    enum class State { Content, Tag, Value, Comment, CData, Instruction };

    bool at(std::string_view marker) const { return text_.substr(pos_, marker.size()) == marker; }

    // Moves to the end of the current stretch or to `limit`, whichever is first.
    void skipTo(std::string_view end, std::size_t limit)
    {
        const std::size_t found = text_.find(end, pos_);
        if (found == std::string_view::npos || found >= limit) {
            pos_ = limit;
            return;
        }
        pos_ = found + end.size();
        state_ = State::Content;
    }

    void step(std::size_t limit)
    {
        switch (state_) {
        case State::Content: {
            const std::size_t open = text_.find('<', pos_);
            if (open == std::string_view::npos || open >= limit) {
                pos_ = limit;
                return;
            }
            pos_ = open;
            if (at("<!--")) {
                state_ = State::Comment;
                pos_ += 4;
            } else if (at("<![CDATA[")) {
                state_ = State::CData;
                pos_ += 9;
            } else if (at("<?")) {
                state_ = State::Instruction;
                pos_ += 2;
            } else {
                state_ = State::Tag;
                ++pos_;
            }
            return;
        }
        case State::Tag: {
            const char c = text_[pos_++];
            if (c == '"' || c == '\'') {
                quote_ = c;
                state_ = State::Value;
            } else if (c == '>') {
                state_ = State::Content;
            }
            return;
        }
        case State::Value: {
            const std::size_t close = text_.find(quote_, pos_);
            if (close == std::string_view::npos || close >= limit) {
                pos_ = limit;
                return;
            }
            pos_ = close + 1;
            state_ = State::Tag;
            return;
        }
        case State::Comment: return skipTo("-->", limit);
        case State::CData: return skipTo("]]>", limit);
        case State::Instruction: return skipTo("?>", limit);
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    State state_ = State::Content;
    char quote_ = '"';
};

}  // namespace

std::size_t firstForbiddenCharReference(std::string_view text)
{
    std::optional<MarkupContext> context;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin; p < end;) {
        const void* found = std::memchr(p, '&', static_cast<std::size_t>(end - p));
        if (found == nullptr) break;
        const auto amp = static_cast<std::size_t>(static_cast<const char*>(found) - begin);
        p = static_cast<const char*>(found) + 1;
        if (amp + 1 >= text.size() || text[amp + 1] != '#') continue;
        const auto character = referencedCharacter(text, amp);
        if (!character || allowedInXml(*character)) continue;
        if (!context) context.emplace(text);
        if (context->decodedAt(amp)) return amp;
    }
    return std::string_view::npos;
}

}  // namespace crv
