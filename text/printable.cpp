#include "text/printable.h"

namespace crv {
namespace {

// Bytes taken by the control character at i (0: none there). C1 controls
// (U+0080 to U+009F) are two bytes in UTF-8.
std::size_t controlAt(std::string_view text, std::size_t i, std::string_view keep)
{
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
        for (const char k : keep)
            if (k == static_cast<char>(c)) return 0;
        return 1;
    }
    if (c == 0xC2 && i + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if (next >= 0x80 && next <= 0x9F) return 2;
    }
    return 0;
}

template <typename Emit>
void blanking(std::string_view text, std::string_view keep, Emit&& emit)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size();) {
        // Most bytes are plain: only these three can start a control character.
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != 0x7F && c != 0xC2) {
            ++i;
            continue;
        }
        const std::size_t control = controlAt(text, i, keep);
        if (control == 0) {
            ++i;
            continue;
        }
        emit(text.substr(plain, i - plain));
        emit(std::string_view(" "));
        i += control;
        plain = i;
    }
    emit(text.substr(plain));
}

}  // namespace

std::string blankControls(std::string_view text, std::string_view keep)
{
    std::string out;
    out.reserve(text.size());
    blanking(text, keep, [&out](std::string_view piece) { out.append(piece); });
    return out;
}

void writeBlankingControls(std::FILE* out, std::string_view text, std::string_view keep)
{
    blanking(text, keep, [out](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), out); });
}

}  // namespace crv
