#include "import/text_repair.h"

#include <algorithm>

namespace crv {
namespace {

// The replacement of the UTF-8 character that begins at text[i], or empty
// when the character stays; `length` gets the character's length in bytes
// as far as the repair needs it.
std::string_view replacementAt(std::string_view text, std::size_t i, std::size_t& length)
{
    length = 1;
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '@') return "&#64;";
    if ((c != 0xC2 && c != 0xC3) || i + 1 >= text.size()) return {};
    length = 2;
    switch ((c << 8) | static_cast<unsigned char>(text[i + 1])) {
    case 0xC39D:  // Ý
    case 0xC2A7:  // §
        return "&#64;";
    case 0xC2B0:  // °
        return "&#248;";
    case 0xC399:  // Ù
        return "U'";
    default:
        length = 1;
        return {};
    }
}

// Offset of the next byte from `from` on that may begin a replaced character.
std::size_t nextCandidate(std::string_view text, std::size_t from)
{
    const auto candidate = [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c == '@' || c == 0xC2 || c == 0xC3;
    };
    return static_cast<std::size_t>(std::find_if(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), candidate) -
                                    text.begin());
}

}  // namespace

void Aggiusta(std::string& out, std::string_view text)
{
    std::size_t plain = 0;
    for (std::size_t i = nextCandidate(text, 0); i < text.size(); i = nextCandidate(text, i)) {
        std::size_t length = 1;
        const std::string_view replacement = replacementAt(text, i, length);
        i += length;
        if (replacement.empty()) continue;
        out.append(text.substr(plain, i - length - plain));
        out.append(replacement);
        plain = i;
    }
    out.append(text.substr(plain));
}

std::string Aggiusta(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    Aggiusta(out, text);
    return out;
}

std::size_t primaDellaRiparazione(std::string_view text, std::uint64_t& repaired)
{
    std::size_t i = 0;
    while (i < text.size() && repaired > 0) {
        // Plain bytes keep their length.
        const std::size_t candidate = nextCandidate(text, i);
        const auto plain = static_cast<std::size_t>(std::min<std::uint64_t>(candidate - i, repaired));
        i += plain;
        repaired -= plain;
        if (i < candidate || i >= text.size() || repaired == 0) break;
        std::size_t length = 1;
        const std::string_view replacement = replacementAt(text, i, length);
        const std::size_t size = replacement.empty() ? length : replacement.size();
        if (size > repaired) break;
        i += length;
        repaired -= size;
    }
    return i;
}

}  // namespace crv
