#include "xml/stream_decoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <cstring>

#include "text/encoding.h"

namespace crv {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
// A declaration not ended within this much is read from its first kilobyte.
constexpr std::size_t kLongestHead = std::size_t{1} << 20;

}  // namespace

StreamDecoder::Mode StreamDecoder::modeOf(Utf8Reading reading)
{
    switch (reading) {
    case Utf8Reading::Valid: return Mode::Utf8Trusted;
    case Utf8Reading::Malformed: return Mode::Utf8Strict;
    case Utf8Reading::Other: break;
    }
    return Mode::Windows1252;
}

bool Utf8Survey::feed(std::string_view bytes)
{
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    while (i < bytes.size() && !other_) {
        if (pending_ == 0) {
            i = firstNonAscii(bytes, i);
            if (i == bytes.size()) break;
            lead_ = d[i++];
            firstContinuation_ = true;
            if (lead_ >= 0xC0 && lead_ <= 0xDF) {
                pending_ = 1;
                malformed_ = malformed_ || lead_ < 0xC2;  // overlong
            } else if (lead_ >= 0xE0 && lead_ <= 0xEF) {
                pending_ = 2;
            } else if (lead_ >= 0xF0 && lead_ <= 0xF7) {
                pending_ = 3;
                malformed_ = malformed_ || lead_ > 0xF4;  // beyond U+10FFFF
            } else {
                other_ = true;  // a continuation byte without its lead, or no UTF-8 byte at all
            }
            continue;
        }
        const unsigned char c = d[i++];
        if ((c & 0xC0) != 0x80) {
            other_ = true;
            break;
        }
        if (firstContinuation_) {
            // Overlong forms, surrogates and values beyond U+10FFFF.
            malformed_ = malformed_ || (lead_ == 0xE0 && c < 0xA0) || (lead_ == 0xED && c >= 0xA0) ||
                         (lead_ == 0xF0 && c < 0x90) || (lead_ == 0xF4 && c >= 0x90);
            firstContinuation_ = false;
        }
        --pending_;
    }
    return !other_;
}

Utf8Reading Utf8Survey::reading() const
{
    if (other_) return Utf8Reading::Other;
    return malformed_ || pending_ > 0 ? Utf8Reading::Malformed : Utf8Reading::Valid;
}

StreamDecoder::StreamDecoder(Utf8FromHere utf8FromHere) : utf8FromHere_(std::move(utf8FromHere)) {}
StreamDecoder::~StreamDecoder() = default;
StreamDecoder::StreamDecoder(StreamDecoder&&) noexcept = default;
StreamDecoder& StreamDecoder::operator=(StreamDecoder&&) noexcept = default;

StreamDecoder StreamDecoder::again() const
{
    StreamDecoder copy(utf8FromHere_);
    copy.unnamed_ = unnamed_;
    return copy;
}

// The fault met first in the text is kept, whichever a piece noted first.
void StreamDecoder::noteFault(std::uint64_t offset, const char* reason)
{
    if (!fault_ || offset < fault_->offset) fault_ = DecodeFault{offset, reason};
}

void StreamDecoder::putText(TextBuffer& out, std::string_view text)
{
    const std::size_t before = out.size();
    out.append(text);
    appended(out, before);
}

void StreamDecoder::appended(const TextBuffer& out, std::size_t before)
{
    const std::string_view added = out.view().substr(before);
    if (!added.empty()) {
        if (const void* nul = std::memchr(added.data(), '\0', added.size()))
            noteFault(decoded_ + static_cast<std::uint64_t>(static_cast<const char*>(nul) - added.data()),
                      kCarattereNullo);
    }
    decoded_ += added.size();
}

void StreamDecoder::appendWindows1252(std::string_view bytes, TextBuffer& out)
{
    converted_.clear();
    appendCp1252AsUtf8(converted_, bytes);
    putText(out, converted_);
}

void StreamDecoder::choose(std::string_view head)
{
    using Kind = EncodingChoice::Kind;
    choice_ = chooseEncoding(head);
    switch (choice_.kind) {
    case Kind::Utf8: mode_ = Mode::Utf8Strict; break;
    case Kind::Utf8OrWindows1252:
        mode_ = unnamed_ ? modeOf(*unnamed_) : Mode::Ascii;
        break;
    case Kind::Windows1252: mode_ = Mode::Windows1252; break;
    case Kind::Utf16LE:
    case Kind::Utf16BE:
        mode_ = Mode::Utf16;
        bigEndian_ = choice_.kind == Kind::Utf16BE;
        break;
    case Kind::Named:
        named_ = std::make_unique<QStringDecoder>(choice_.name.c_str());
        if (named_->isValid()) {
            mode_ = Mode::Named;
        } else {
            // Shown as windows-1252, to place the fault in the declaration.
            mode_ = Mode::Unsupported;
            noteFault(choice_.nameOffset, kCodificaNonSupportata);
        }
        break;
    }
}

// Whether the first bytes of a file tell its encoding: the byte order marks
// and unmarked UTF-16 need four, an XML declaration all of itself.
bool StreamDecoder::canChoose(std::string_view head, bool last)
{
    if (last) return true;
    if (head.size() < 6) return false;
    if (!head.starts_with("<?xml")) return true;
    const char c = head[5];
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return true;
    return head.find("?>") != std::string_view::npos || head.size() >= kLongestHead;
}

void StreamDecoder::decode(std::string_view bytes, bool last, TextBuffer& out)
{
    std::string head;
    if (mode_ == Mode::Undecided) {
        // The first bytes wait until they tell the encoding; a piece that
        // tells it alone is not copied.
        if (!head_.empty() || !canChoose(bytes, last)) {
            head_.append(bytes);
            if (!canChoose(head_, last)) return;
            head = std::move(head_);
            head_.clear();
            bytes = head;
        }
        choose(bytes);
        const std::size_t skip = std::min(choice_.skip, bytes.size());
        bytes.remove_prefix(skip);
        fileOffset_ += skip;
    }
    // A character cut by the last piece is completed by this one.
    std::string joined;
    if (!carry_.empty()) {
        joined = std::move(carry_);
        carry_.clear();
        joined.append(bytes);
        bytes = joined;
    }
    const std::size_t taken = bytes.size();
    switch (mode_) {
    case Mode::Undecided: break;
    case Mode::Ascii: decodeAsciiPrefix(bytes, last, out); break;
    case Mode::Utf8Strict: decodeUtf8(bytes, last, out, true); break;
    case Mode::Utf8Trusted: decodeUtf8(bytes, last, out, false); break;
    case Mode::Windows1252:
    case Mode::Unsupported: appendWindows1252(bytes, out); break;
    case Mode::Utf16: decodeUtf16(bytes, last, out); break;
    case Mode::Named: decodeNamed(bytes, last, out); break;
    }
    // fileOffset_ was where the carried bytes began.
    fileOffset_ += taken - carry_.size();
}

void StreamDecoder::decodeAsciiPrefix(std::string_view bytes, bool last, TextBuffer& out)
{
    const std::size_t high = firstNonAscii(bytes);
    putText(out, bytes.substr(0, high));
    if (high == bytes.size()) return;
    // The first byte above ASCII decides for the whole file: UTF-8 when all
    // of the rest is UTF-8 in form, windows-1252 otherwise. This piece, or
    // the last, answers without reading ahead.
    if (!unnamed_) {
        Utf8Survey survey;
        if (!survey.feed(bytes.substr(high)))
            unnamed_ = Utf8Reading::Other;
        else if (last)
            unnamed_ = survey.reading();
        else
            unnamed_ = utf8FromHere_(fileOffset_ + high);
    }
    mode_ = modeOf(*unnamed_);
    const std::string_view rest = bytes.substr(high);
    if (mode_ == Mode::Windows1252)
        appendWindows1252(rest, out);
    else
        decodeUtf8(rest, last, out, mode_ == Mode::Utf8Strict);
}

void StreamDecoder::decodeUtf8(std::string_view bytes, bool last, TextBuffer& out, bool strict)
{
    std::size_t i = 0;
    std::size_t plain = 0;  // start of the bytes not yet emitted
    while (i < bytes.size()) {
        bool broken = false;
        i += wholeUtf8Prefix(bytes.substr(i), broken);
        if (i == bytes.size()) break;
        if (!broken && !last) {
            // A character cut by the end of the piece: completed by the next one.
            carry_.assign(bytes.substr(i));
            putText(out, bytes.substr(plain, i - plain));
            return;
        }
        // A malformed byte shows as U+FFFD, one for each, in the line shown
        // with the fault.
        putText(out, bytes.substr(plain, i - plain));
        if (strict) noteFault(decoded_, kCarattereNonValido);
        putText(out, kReplacement);
        ++i;
        plain = i;
    }
    putText(out, bytes.substr(plain));
}

void StreamDecoder::decodeUtf16(std::string_view bytes, bool last, TextBuffer& out)
{
    std::string text;
    text.reserve(bytes.size() / 2 + bytes.size() / 8 + 1);
    const auto unitAt = [&](std::size_t u) -> char32_t {
        const auto b0 = static_cast<unsigned char>(bytes[2 * u]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * u + 1]);
        return bigEndian_ ? (char32_t{b0} << 8) | b1 : (char32_t{b1} << 8) | b0;
    };
    const std::size_t units = bytes.size() / 2;
    std::size_t u = 0;
    for (; u < units; ++u) {
        const char32_t unit = unitAt(u);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (u + 1 < units) {
                const char32_t low = unitAt(u + 1);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    ++u;
                    continue;
                }
            } else if (!last) {
                break;  // its pair may come with the next piece
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {  // a surrogate without its pair
            noteFault(decoded_ + text.size(), kCarattereNonValido);
            text.append(kReplacement);
            continue;
        }
        appendUtf8(text, unit);
    }
    putText(out, text);
    if (!last) {
        carry_.assign(bytes.substr(2 * u));
    } else if (bytes.size() % 2 != 0) {
        noteFault(decoded_, kCarattereNonValido);  // the file ends in the middle of a character
    }
}

void StreamDecoder::decodeNamed(std::string_view bytes, bool, TextBuffer& out)
{
    const bool hadError = named_->hasError();
    const QString part = named_->decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    const QByteArray utf8 = part.toUtf8();
    const std::string_view text(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    if (!hadError && named_->hasError()) {
        const std::size_t bad = text.find(kReplacement);
        noteFault(decoded_ + (bad == std::string_view::npos ? text.size() : bad), kCarattereNonValido);
    }
    putText(out, text);
}

}  // namespace crv
