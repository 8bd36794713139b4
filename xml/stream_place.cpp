#include "xml/stream_place.h"

#include <algorithm>
#include <cstring>

#include "text/encoding.h"

namespace crv {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
// Of a very long line, this much is kept on each side of the fault.
constexpr std::size_t kAround = std::size_t{1} << 16;

// Follows the lines of the decoded text as the parser counts them (LF,
// CR LF and a lone CR each end one) up to the fault, then takes the rest of
// its line.
class LineFollower {
public:
    // The text before the fault.
    void before(std::string_view text)
    {
        std::size_t i = 0;
        if (pendingCr_ && !text.empty()) {
            pendingCr_ = false;
            if (text[0] == '\n') i = 1;  // CR LF: the CR had ended the line already
            newLine();
        }
        // Without CR the lines are counted all at once: a file may hold billions.
        if (std::memchr(text.data() + i, '\r', text.size() - i) == nullptr) {
            const std::string_view rest = text.substr(i);
            const auto lines = std::count(rest.begin(), rest.end(), '\n');
            if (lines == 0) return keep(rest);
            line_number_ += lines;
            line_.clear();
            dropped_ = 0;
            return keep(rest.substr(rest.rfind('\n') + 1));
        }
        while (i < text.size()) {
            const std::size_t end = lineEnd(text, i);
            keep(text.substr(i, end - i));
            if (end == text.size()) return;
            if (text[end] == '\r') {
                if (end + 1 == text.size()) {
                    pendingCr_ = true;  // what follows says whether an LF belongs to it
                    return;
                }
                newLine();
                i = end + (text[end + 1] == '\n' ? 2 : 1);
            } else {
                newLine();
                i = end + 1;
            }
        }
    }

    // The fault is here: `next` is the text from it on (empty at the end of the file).
    void atFault(std::string_view next)
    {
        faultSeen_ = true;
        if (pendingCr_) {
            pendingCr_ = false;
            if (!next.empty() && next[0] == '\n') {
                linepos_ = charsSoFar() + 1;  // the fault is on the LF of a CR LF
                done_ = true;
                return;
            }
            newLine();
        }
        linepos_ = charsSoFar() + 1;
        after(next);
    }

    // The text after the fault, up to the end of its line.
    void after(std::string_view text)
    {
        if (done_) return;
        const std::size_t end = lineEnd(text, 0);
        const std::size_t room = kAround > taken_ ? kAround - taken_ : 0;
        const std::size_t part = std::min(end, room);
        const std::size_t cut = part < end ? utf8Start(text, part) : part;
        line_.append(text.substr(0, cut));
        taken_ += cut;
        if (cut < end) {
            continues_ = true;
            done_ = true;
        } else if (end < text.size()) {
            done_ = true;
        }
    }

    bool faultSeen() const { return faultSeen_; }
    bool done() const { return done_; }

    void fill(XmlParseError& error) const
    {
        error.line = line_number_;
        error.linepos = linepos_;
        error.srcFrom = static_cast<std::int64_t>(dropped_) + 1;
        error.srcContinues = continues_;
        error.srcText = withNulShown(line_);
    }

private:
    static std::size_t lineEnd(std::string_view text, std::size_t from)
    {
        const void* lf = std::memchr(text.data() + from, '\n', text.size() - from);
        const std::size_t lfAt = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
        const void* cr = std::memchr(text.data() + from, '\r', lfAt - from);
        return cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - text.data()) : lfAt;
    }

    // The start of the character that holds byte `i`.
    static std::size_t utf8Start(std::string_view text, std::size_t i)
    {
        while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
        return i;
    }

    void newLine()
    {
        ++line_number_;
        line_.clear();
        dropped_ = 0;
    }

    // Adds text of the current line, keeping only its last stretch when it grows long.
    void keep(std::string_view text)
    {
        line_.append(text);
        if (line_.size() <= 2 * kAround) return;
        const std::size_t cut = utf8Start(line_, line_.size() - kAround);
        dropped_ += utf8Length(std::string_view(line_).substr(0, cut));
        line_.erase(0, cut);
    }

    std::int64_t charsSoFar() const { return static_cast<std::int64_t>(dropped_ + utf8Length(line_)); }

    std::int64_t line_number_ = 1;
    std::int64_t linepos_ = 1;
    std::string line_;
    std::uint64_t dropped_ = 0;  // characters of the line before line_
    std::size_t taken_ = 0;      // bytes kept after the fault
    bool pendingCr_ = false;
    bool faultSeen_ = false;
    bool done_ = false;
    bool continues_ = false;
};

}  // namespace

void placeIn(ByteSource& source, StreamDecoder decoder, std::uint64_t offset, const OriginalBytes& originalBytes,
             XmlParseError& error)
{
    TextBuffer text;
    LineFollower lines;
    std::uint64_t toGo = offset;
    for (;;) {
        std::error_code failed;
        const std::string_view bytes = source.read(kChunk, failed);
        if (failed) return;
        const bool last = bytes.empty();
        text.truncate(0);
        decoder.decode(bytes, last, text);
        std::string_view rest = text.view();
        if (!lines.faultSeen()) {
            std::size_t before = 0;
            if (originalBytes) {
                before = originalBytes(rest, toGo);
            } else {
                before = static_cast<std::size_t>(std::min<std::uint64_t>(rest.size(), toGo));
                toGo -= before;
            }
            lines.before(rest.substr(0, before));
            rest.remove_prefix(before);
            // A fault at the very end of this piece is placed with the next one,
            // whose first character may be the LF of a CR LF.
            if (!rest.empty() || last) lines.atFault(rest);
        } else {
            lines.after(rest);
        }
        if (lines.done() || last) break;
    }
    lines.fill(error);
}

}  // namespace crv
