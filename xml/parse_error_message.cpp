#include "xml/parse_error_message.h"

#include <algorithm>

#include "text/encoding.h"

namespace crv {
namespace {

// Control characters of the file (ESC, C1 controls, a stray CR) would reach
// the terminal or the message box as they are: each shows as a blank.
std::string printable(std::string text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t') {
            out += ' ';
        } else if (c == 0x7F) {
            out += ' ';
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += ' ';  // U+0080..U+009F
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The faulty line, at most kMax characters around the fault.
std::string shortSource(const XmlParseError& err)
{
    constexpr std::size_t kMax = 200;
    const std::string& src = err.srcText;
    const std::size_t len = utf8Length(src);
    if (len <= kMax) return src;
    const std::size_t pos = err.linepos > 0 ? static_cast<std::size_t>(err.linepos - 1) : 0;
    const std::size_t from = pos > kMax / 2 ? std::min(pos - kMax / 2, len - kMax) : 0;
    const std::size_t a = utf8Offset(src, from);
    const std::size_t b = utf8Offset(src, from + kMax);
    return (from > 0 ? "..." : "") + src.substr(a, b - a) + (from + kMax < len ? "..." : "");
}

// The parser's reason as a line of its own, with a capital first letter.
std::string reasonLine(const std::string& reason)
{
    std::string out = reason;
    if (!out.empty() && out.front() >= 'a' && out.front() <= 'z') out.front() = static_cast<char>(out.front() - 'a' + 'A');
    return out;
}

}  // namespace

std::string parseErrorMessage(const XmlParseError& error)
{
    // A file that could not be read has no place to show: its reason says it all.
    if (error.line == 0 && error.srcText.empty() && !error.reason.empty())
        return "Errore nel file " + error.url + "\n" + reasonLine(error.reason);
    return "Errore nel file " + error.url + "\nLinea = " + std::to_string(error.line) +
           "\nPos = " + std::to_string(error.linepos) + "\nSrc = " + printable(shortSource(error)) +
           (error.reason.empty() ? std::string() : "\n" + reasonLine(error.reason));
}

}  // namespace crv
