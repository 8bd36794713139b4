#include "xml/parse_error_message.h"

#include <algorithm>

#include "text/encoding.h"
#include "text/printable.h"

namespace crv {
namespace {

// The faulty line, at most kMax characters around the fault. srcText may
// itself be a stretch of a longer line (srcFrom, srcContinues).
std::string shortSource(const XmlParseError& err)
{
    constexpr std::size_t kMax = 200;
    const std::string& src = err.srcText;
    const std::size_t len = utf8Length(src);
    const bool cutBefore = err.srcFrom > 1;
    if (len <= kMax) return (cutBefore ? "..." : "") + src + (err.srcContinues ? "..." : "");
    const std::int64_t inSrc = err.linepos - err.srcFrom;
    const std::size_t pos = inSrc > 0 ? static_cast<std::size_t>(inSrc) : 0;
    const std::size_t from = pos > kMax / 2 ? std::min(pos - kMax / 2, len - kMax) : 0;
    const std::size_t a = utf8Offset(src, from);
    const std::size_t b = utf8Offset(src, from + kMax);
    return (from > 0 || cutBefore ? "..." : "") + src.substr(a, b - a) +
           (from + kMax < len || err.srcContinues ? "..." : "");
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
           "\nPos = " + std::to_string(error.linepos) + "\nSrc = " + blankControls(shortSource(error), "\t") +
           (error.reason.empty() ? std::string() : "\n" + reasonLine(error.reason));
}

}  // namespace crv
