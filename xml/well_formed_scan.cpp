#include "xml/well_formed_scan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "xml/xml_decoding.h"

namespace crv {
namespace {

using Table = std::array<bool, 256>;

}  // namespace

// The bytes a stretch of text stops at: the control characters XML does not
// allow, the lead byte of U+FFFE and U+FFFF, and the stretch's own ones.
struct MarkupStops {
    Table table{};
    unsigned char own[3] = {};
    // The same three bytes sixteen times each, for the wide comparisons.
    alignas(16) unsigned char wide[3][16] = {};

    constexpr explicit MarkupStops(std::string_view stops)
    {
        for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = c != '\t' && c != '\n' && c != '\r';
        table[0xEF] = true;
        for (std::size_t k = 0; k < 3; ++k) {
            own[k] = static_cast<unsigned char>(stops[std::min(k, stops.size() - 1)]);
            table[own[k]] = true;
            for (unsigned char& b : wide[k]) b = own[k];
        }
    }
};

namespace {

constexpr MarkupStops kTextStops("<&]");
constexpr MarkupStops kQuotStops("\"<&");
constexpr MarkupStops kAposStops("'<&");
constexpr MarkupStops kCommentStops("-");
constexpr MarkupStops kInstructionStops("?");
constexpr MarkupStops kCDataStops("]");

// How a byte stands in a name: 1 a character of names below 0x80, 2 the
// lead of one above (decoded and looked up), 0 none.
constexpr std::array<unsigned char, 256> nameBytes(bool start)
{
    std::array<unsigned char, 256> t{};
    for (int c = 'a'; c <= 'z'; ++c) t[static_cast<std::size_t>(c)] = 1;
    for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<std::size_t>(c)] = 1;
    t['_'] = t[':'] = 1;
    if (!start) {
        for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = 1;
        t['-'] = t['.'] = 1;
    }
    for (std::size_t c = 0x80; c < 256; ++c) t[c] = 2;
    return t;
}

constexpr std::array<unsigned char, 256> kNameStartBytes = nameBytes(true);
constexpr std::array<unsigned char, 256> kNameBytes = nameBytes(false);

bool nameStartCode(char32_t c)
{
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool nameCode(char32_t c)
{
    return nameStartCode(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

constexpr Table blanks()
{
    Table t{};
    t[' '] = t['\t'] = t['\r'] = t['\n'] = true;
    return t;
}

constexpr Table kBlank = blanks();

bool isSpace(unsigned char c)
{
    return kBlank[c];
}

// Past the blanks from `i`.
std::size_t skipBlanks(const unsigned char* d, std::size_t i, std::size_t n)
{
    while (i < n && kBlank[d[i]]) ++i;
    return i;
}

bool isXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

const unsigned char* bytes(std::string_view text)
{
    return reinterpret_cast<const unsigned char*>(text.data());
}

#ifdef __SSE2__
__m128i splat(const unsigned char (&bytes)[16])
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
}

alignas(16) constexpr unsigned char kLead[16] = {0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF,
                                                 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF};
alignas(16) constexpr unsigned char kControl[16] = {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F,
                                                    0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F};
alignas(16) constexpr unsigned char kTab[16] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
alignas(16) constexpr unsigned char kLf[16] = {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
alignas(16) constexpr unsigned char kCr[16] = {13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13};
#endif

// The first byte from `i` on that `stops` names, or n. Sixteen bytes at a
// time where the processor allows: every byte of a file passes here.
inline std::size_t skipPlain(const unsigned char* d, std::size_t i, std::size_t n, const MarkupStops& stops)
{
#ifdef __SSE2__
    while (n - i >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i own = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, splat(stops.wide[0])), _mm_cmpeq_epi8(v, splat(stops.wide[1]))),
            _mm_or_si128(_mm_cmpeq_epi8(v, splat(stops.wide[2])), _mm_cmpeq_epi8(v, splat(kLead))));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, splat(kControl)), v);
        const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, splat(kTab)), _mm_cmpeq_epi8(v, splat(kLf))),
                                           _mm_cmpeq_epi8(v, splat(kCr)));
        const int mask = _mm_movemask_epi8(_mm_or_si128(own, _mm_andnot_si128(blank, low)));
        if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        i += 16;
    }
#endif
    while (i < n && !stops.table[d[i]]) ++i;
    return i;
}

// The character at text[i], of `length` bytes; length 0 when the text ends inside it.
char32_t decodeAt(std::string_view text, std::size_t i, std::size_t& length)
{
    const unsigned char* d = bytes(text);
    const unsigned char lead = d[i];
    length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > text.size()) {
        length = 0;
        return 0;
    }
    char32_t c = lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (d[i + k] & 0x3F);
    return c;
}

// The rest of a name from `i`, where a character above ASCII (or the first
// character, `first`) stands: as nameEnd.
std::size_t slowNameEnd(std::string_view text, std::size_t i, bool first)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    while (i < n) {
        const unsigned char kind = (first ? kNameStartBytes : kNameBytes)[d[i]];
        if (kind == 0) return i;
        if (kind == 1) {
            ++i;
        } else {
            std::size_t length = 0;
            const char32_t c = decodeAt(text, i, length);
            if (length == 0) return n;
            if (!(first ? nameStartCode(c) : nameCode(c))) return i;
            i += length;
        }
        first = false;
    }
    return n;
}

// One past the name that begins at `i`: `i` when none begins there, the end
// of the text when the name runs to it (the text may go on). Names are
// short and mostly ASCII: their bytes are looked up four at a time, and
// only a character above ASCII is decoded.
inline std::size_t nameEnd(std::string_view text, std::size_t i)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    if (i >= n) return n;
    if (kNameStartBytes[d[i]] != 1) return slowNameEnd(text, i, true);
    ++i;
    while (n - i >= 4) {
        if (kNameBytes[d[i]] != 1) return d[i] < 0x80 ? i : slowNameEnd(text, i, false);
        if (kNameBytes[d[i + 1]] != 1) return d[i + 1] < 0x80 ? i + 1 : slowNameEnd(text, i + 1, false);
        if (kNameBytes[d[i + 2]] != 1) return d[i + 2] < 0x80 ? i + 2 : slowNameEnd(text, i + 2, false);
        if (kNameBytes[d[i + 3]] != 1) return d[i + 3] < 0x80 ? i + 3 : slowNameEnd(text, i + 3, false);
        i += 4;
    }
    while (i < n && kNameBytes[d[i]] == 1) ++i;
    return i == n || d[i] < 0x80 ? i : slowNameEnd(text, i, false);
}

// Whether `size` bytes at a and at b are the same; sixteen at a time when
// both have them to read.
bool sameBytes(const char* a, const char* b, std::size_t size, bool sixteenReadable)
{
#ifdef __SSE2__
    if (sixteenReadable && size <= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        const unsigned equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
        const unsigned wanted = (1u << size) - 1;
        return (equal & wanted) == wanted;
    }
#endif
    return std::memcmp(a, b, size) == 0;
}

// Whether the name that ends at `i` would go on there.
bool nameGoesOn(std::string_view text, std::size_t i)
{
    const unsigned char k = kNameBytes[static_cast<unsigned char>(text[i])];
    if (k != 2) return k == 1;
    std::size_t length = 0;
    const char32_t c = decodeAt(text, i, length);
    return length == 0 || nameCode(c);
}

// The start of the text's last character.
std::size_t lastCharacter(std::string_view text)
{
    std::size_t i = text.empty() ? 0 : text.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    return i;
}

constexpr std::size_t kShownMost = 40;

// The text from `from` to `to` for a message: whole characters, at most a
// few dozen bytes (then "..."), never a control character.
std::string excerpt(std::string_view text, std::size_t from, std::size_t to)
{
    to = std::min(to, text.size());
    std::size_t end = from;
    while (end < to && end - from < kShownMost && static_cast<unsigned char>(text[end]) >= 0x20) ++end;
    while (end < text.size() && end > from && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    std::string out(text.substr(from, end - from));
    if (end - from >= kShownMost && end < to) out += "...";
    return out;
}

// The end of the reference written at `from`, however malformed: past its
// ';', or at a blank, markup or a quote, or where a message stops showing
// it. npos when the text ends first.
std::size_t wordEnd(std::string_view text, std::size_t from)
{
    std::size_t i = from + 1;
    for (; i < text.size() && i - from <= kShownMost; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ';') return i + 1;
        if (c <= ' ' || c == '<' || c == '&' || c == '"' || c == '\'') return i;
    }
    return i < text.size() ? i : std::string_view::npos;
}

std::string withWhat(const char* reason, std::string_view what)
{
    return std::string(reason) + ": " + std::string(what);
}

bool startsWithAt(std::string_view text, std::size_t at, std::string_view prefix)
{
    return text.substr(at, prefix.size()) == prefix;
}

// The text from `at` on is shorter than `whole` and begins it.
bool cutPrefixOf(std::string_view text, std::size_t at, std::string_view whole)
{
    const std::string_view rest = text.substr(at);
    return rest.size() < whole.size() && whole.starts_with(rest);
}

bool isPredefinedEntity(std::string_view name)
{
    return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// ------------------------------------------------------------------ the walk

WellFormedScan::Event WellFormedScan::scan(std::string_view text, bool complete)
{
    complete_ = complete;
    if (rootClosedNext_) {
        rootClosedNext_ = false;
        rootClosed_ = true;
        return Event::RootClosed;
    }
    switch (phase_) {
    case Phase::Prolog: return prolog(text);
    case Phase::Content: return content(text);
    case Phase::Epilog: return epilog(text);
    case Phase::Done: return Event::End;
    case Phase::Failed: return Event::Fault;
    }
    return Event::Fault;
}

void WellFormedScan::shift(std::size_t dropped)
{
    pos_ -= dropped;
    if (depth_ >= 2) childStart_ -= dropped;
    for (OpenName& open : open_) open.at -= dropped;
    start_ = start_ >= dropped ? start_ - dropped : 0;
    end_ = end_ >= dropped ? end_ - dropped : 0;
}

void WellFormedScan::supplyRoot(std::string_view name)
{
    rootName_.assign(name);
    depth_ = 1;
    phase_ = Phase::Content;
    asked_ = false;
    atStart_ = false;
}

WellFormedScan::Event WellFormedScan::ask(Found found, std::string_view name)
{
    asked_ = true;
    found_ = found;
    foundName_.assign(name);
    return Event::PrologEnd;
}

void WellFormedScan::passed(std::size_t to)
{
    pos_ = to;
    atStart_ = false;
    asked_ = false;
}

WellFormedScan::Event WellFormedScan::outcome(Step step)
{
    return step == Step::Cut ? Event::NeedText : Event::Fault;
}

// Before the root: an XML declaration at the very start, comments,
// instructions and blanks.
WellFormedScan::Event WellFormedScan::prolog(std::string_view text)
{
    const std::size_t n = text.size();
    for (;;) {
        std::size_t i = pos_;
        while (i < n && isSpace(static_cast<unsigned char>(text[i]))) ++i;
        if (i != pos_) passed(i);
        if (i == n) {
            if (!complete_) return Event::NeedText;
            if (!asked_) return ask(Found::Nothing, {});
            return outcome(failAt(n, kRadiceMancante));
        }
        if (text[i] != '<') {
            if (!asked_) return ask(Found::Text, {});
            return outcome(failAt(i, kTestoFuoriRadice));
        }
        if (i + 1 == n) return outcome(cutOff(text, kTagNonRiconosciuto));
        const char next = text[i + 1];
        Step step = Step::Done;
        if (next == '?') {
            step = instruction(text);
        } else if (next == '!') {
            if (startsWithAt(text, i, "<![CDATA[")) {
                if (!asked_) return ask(Found::Text, {});
                return outcome(failAt(i, kTestoFuoriRadice));
            }
            step = bang(text, false);
        } else if (next == '/') {
            step = strayEndTag(text);
        } else {
            const std::size_t nameStop = nameEnd(text, i + 1);
            if (nameStop == i + 1) return outcome(failAt(i + 1, kTagNonRiconosciuto));
            if (nameStop == n && !complete_) return Event::NeedText;
            if (!asked_) return ask(Found::Element, text.substr(i + 1, nameStop - i - 1));
            bool selfClosed = false;
            step = startTag(text, selfClosed);
            if (step != Step::Done) return outcome(step);
            start_ = i;
            passed(end_);
            selfClosed_ = selfClosed;
            if (selfClosed) {
                phase_ = Phase::Epilog;
                rootClosedNext_ = true;
            } else {
                openElement(text, i + 1, nameStop - i - 1);
                phase_ = Phase::Content;
            }
            return Event::RootOpened;
        }
        if (step != Step::Done) return outcome(step);
        passed(end_);
    }
}

// Inside the root: text, references, elements, comments, instructions and
// CDATA sections, each checked once.
WellFormedScan::Event WellFormedScan::content(std::string_view text)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    for (;;) {
        const std::size_t i = skipPlain(d, pos_, n, kTextStops);
        pos_ = i;
        if (i == n) {
            if (complete_) return endOfContent(text);
            // The last character is kept: a file that ends here has its
            // fault placed on it. Checked again, it is plain text.
            if (n > 0) pos_ = lastCharacter(text);
            return Event::NeedText;
        }
        const unsigned char c = d[i];
        if (c == '<') {
            if (i + 1 == n) return outcome(cutOff(text, kTagNonRiconosciuto));
            const unsigned char next = d[i + 1];
            // Most tags are a name alone: the open element's name and '>' end
            // it, or a name and '>' open one. Checked here, without more.
            if (next == '/' && depth_ >= 2) {
                const OpenName open = open_.back();
                const std::size_t stop = i + 2 + open.size;
                if (stop < n && d[stop] == '>' && sameBytes(text.data() + i + 2, text.data() + open.at, open.size, n - i >= 18)) {
                    open_.pop_back();
                    --depth_;
                    pos_ = stop + 1;
                    if (depth_ > 1) continue;
                    start_ = childStart_;
                    end_ = pos_;
                    return Event::ChildClosed;
                }
            }
            std::size_t known = 0;  // where the start tag's name ends, once found
            if (kNameStartBytes[next] == 1) {
                known = nameEnd(text, i + 1);
                if (known < n && d[known] == '>') {
                    if (depth_ == 1) childStart_ = i;
                    open_.push_back({i + 1, known - i - 1});
                    ++depth_;
                    pos_ = known + 1;
                    continue;
                }
            }
            Step step = Step::Done;
            if (next == '/') {
                step = endTag(text);
                if (step == Step::Done) {
                    closeElement();
                    pos_ = end_;
                    if (depth_ == 1) {
                        start_ = childStart_;
                        return Event::ChildClosed;
                    }
                    if (depth_ == 0) {
                        start_ = i;
                        rootClosed_ = true;
                        phase_ = Phase::Epilog;
                        return Event::RootClosed;
                    }
                    continue;
                }
            } else if (next == '!') {
                step = bang(text, true);
            } else if (next == '?') {
                step = instruction(text);
            } else {
                bool selfClosed = false;
                step = startTag(text, selfClosed, known);
                if (step == Step::Done) {
                    pos_ = end_;
                    if (selfClosed) {
                        if (depth_ > 1) continue;
                        start_ = i;
                        return Event::ChildClosed;
                    }
                    if (depth_ == 1) childStart_ = i;
                    openElement(text, i + 1, tagNameEnd_ - i - 1);
                    continue;
                }
            }
            if (step != Step::Done) return outcome(step);
            pos_ = end_;
            continue;
        }
        if (c == '&') {
            std::size_t after = 0;
            const Step step = reference(text, i, after);
            if (step == Step::Done) {
                pos_ = after;
                continue;
            }
            if (step == Step::Failed) return Event::Fault;
            return complete_ ? endOfContent(text) : Event::NeedText;
        }
        if (c == ']') {
            if (i + 2 >= n && !complete_) return Event::NeedText;
            if (i + 2 < n && d[i + 1] == ']' && d[i + 2] == '>') return outcome(failAt(i, kFineCDataNelTesto));
            pos_ = i + 1;
            continue;
        }
        std::size_t after = 0;
        const Step step = character(text, i, after);
        if (step != Step::Done) return outcome(step);
        pos_ = after;
    }
}

// The file ends in the root's content, at pos_.
WellFormedScan::Event WellFormedScan::endOfContent(std::string_view text)
{
    if (depth_ == 1 && rootEndOptional_) {
        // What is left must be whole: a reference the end cuts is none.
        if (pos_ < text.size())
            return outcome(malformedReference(text, pos_));
        phase_ = Phase::Done;
        return Event::End;
    }
    return outcome(failAt(lastCharacter(text), kElementoNonChiuso));
}

// After the root: comments, instructions and blanks.
WellFormedScan::Event WellFormedScan::epilog(std::string_view text)
{
    const std::size_t n = text.size();
    for (;;) {
        std::size_t i = pos_;
        while (i < n && isSpace(static_cast<unsigned char>(text[i]))) ++i;
        pos_ = i;
        if (i == n) {
            if (!complete_) return Event::NeedText;
            phase_ = Phase::Done;
            return Event::End;
        }
        if (text[i] != '<') return outcome(failAt(i, kTestoFuoriRadice));
        if (i + 1 == n) return outcome(cutOff(text, kTagNonRiconosciuto));
        const char next = text[i + 1];
        Step step = Step::Done;
        if (next == '?') {
            step = instruction(text);
        } else if (next == '!') {
            if (startsWithAt(text, i, "<![CDATA[")) return outcome(failAt(i, kTestoFuoriRadice));
            step = bang(text, false);
        } else if (next == '/') {
            step = strayEndTag(text);
        } else {
            const std::size_t nameStop = nameEnd(text, i + 1);
            if (nameStop == i + 1) return outcome(failAt(i + 1, kTagNonRiconosciuto));
            return outcome(failAt(i, kSecondaRadice));
        }
        if (step != Step::Done) return outcome(step);
        pos_ = end_;
    }
}

// ------------------------------------------------------------------ the constructs

WellFormedScan::Step WellFormedScan::startTag(std::string_view text, bool& selfClosed, std::size_t knownNameEnd)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    std::size_t i = pos_ + 1;
    const std::size_t nameStop = knownNameEnd > 0 ? knownNameEnd : nameEnd(text, i);
    if (nameStop == i) return failAt(i, kTagNonRiconosciuto);
    if (nameStop == n) return cutOff(text, kTagAperturaNonValido);
    tagNameEnd_ = nameStop;
    i = nameStop;
    attributes_.clear();
    if (!manyAttributes_.empty()) manyAttributes_.clear();
    for (;;) {
        const std::size_t blankFrom = i;
        i = skipBlanks(d, i, n);
        if (i == n) return cutOff(text, kTagAperturaNonValido);
        if (d[i] == '>') {
            end_ = i + 1;
            selfClosed = false;
            return Step::Done;
        }
        if (d[i] == '/') {
            if (i + 1 == n) return cutOff(text, kTagAperturaNonValido);
            if (d[i + 1] != '>') return failAt(i + 1, kTagAperturaNonValido);
            end_ = i + 2;
            selfClosed = true;
            return Step::Done;
        }
        // An attribute: Name S? '=' S? quoted value, after a blank.
        const std::size_t name = i;
        i = nameEnd(text, i);
        if (i == name) return failAt(i, kTagAperturaNonValido);
        if (name == blankFrom) return failAt(name, kAttributoNonValido);
        if (i == n) return cutOff(text, kAttributoNonValido);
        const std::string_view attribute = text.substr(name, i - name);
        // Tags hold few attributes; a hostile one with thousands is looked up.
        if (attributes_.size() < 16) {
            for (const std::string_view seen : attributes_)
                if (seen.size() == attribute.size() && std::memcmp(seen.data(), attribute.data(), seen.size()) == 0)
                    return failAt(name, withWhat(kAttributoRipetuto, excerpt(text, name, i)));
            attributes_.push_back(attribute);
        } else {
            if (manyAttributes_.empty()) manyAttributes_.insert(attributes_.begin(), attributes_.end());
            if (!manyAttributes_.insert(attribute).second) return failAt(name, withWhat(kAttributoRipetuto, excerpt(text, name, i)));
        }
        i = skipBlanks(d, i, n);
        if (i == n) return cutOff(text, kAttributoNonValido);
        if (d[i] != '=') return failAt(i, kAttributoNonValido);
        i = skipBlanks(d, i + 1, n);
        if (i == n) return cutOff(text, kAttributoNonValido);
        const unsigned char quote = d[i];
        if (quote != '"' && quote != '\'') return failAt(i, kAttributoNonValido);
        const MarkupStops& stops = quote == '"' ? kQuotStops : kAposStops;
        ++i;
        for (;;) {
            i = skipPlain(d, i, n, stops);
            if (i == n) return cutOff(text, kAttributoNonValido);
            if (d[i] == quote) {
                ++i;
                break;
            }
            Step step = Step::Done;
            std::size_t after = 0;
            if (d[i] == '<') return failAt(i, kMinoreInAttributo);
            step = d[i] == '&' ? reference(text, i, after) : character(text, i, after);
            if (step == Step::Cut) return cutOff(text, kAttributoNonValido);
            if (step != Step::Done) return step;
            i = after;
        }
    }
}

WellFormedScan::Step WellFormedScan::endTag(std::string_view text)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    const std::size_t name = pos_ + 2;
    const std::string_view open = topName(text);
    // Most end tags match: compared whole, without reading their name's characters.
    std::size_t i = name + open.size();
    if (i >= n || !sameBytes(text.data() + name, open.data(), open.size(), depth_ >= 2 && n - name >= 16) ||
        nameGoesOn(text, i))
        i = nameEnd(text, name);
    if (i == n) {
        if (!complete_) return Step::Cut;
        const std::string_view sofar = text.substr(std::min(name, n));
        if (sofar.empty() || !open.starts_with(sofar)) return failAt(std::min(name, lastCharacter(text)), kTagNonCorrispondente);
        return failAt(lastCharacter(text), kTagChiusuraNonValido);
    }
    if (text.substr(name, i - name) != open) return failAt(name, kTagNonCorrispondente);
    while (i < n && isSpace(d[i])) ++i;
    if (i == n) return cutOff(text, kTagChiusuraNonValido);
    if (d[i] != '>') return failAt(i, kTagChiusuraNonValido);
    end_ = i + 1;
    return Step::Done;
}

// An end tag where no element is open.
WellFormedScan::Step WellFormedScan::strayEndTag(std::string_view text)
{
    const std::size_t name = pos_ + 2;
    if (name >= text.size()) {
        if (!complete_) return Step::Cut;
        return failAt(lastCharacter(text), kTagNonCorrispondente);
    }
    return failAt(name, kTagNonCorrispondente);
}

// "<!": a comment, a CDATA section (in content), a DOCTYPE, or a fault.
WellFormedScan::Step WellFormedScan::bang(std::string_view text, bool inContent)
{
    const std::size_t i = pos_;
    if (startsWithAt(text, i, "<!--")) return body(text, i + 4, kCommentStops, "-->", kCommentoNonValido);
    if (inContent && startsWithAt(text, i, "<![CDATA[")) return body(text, i + 9, kCDataStops, "]]>", kCDataNonValida);
    if (startsWithAt(text, i, "<!DOCTYPE")) return failAt(i, kDoctypeNonAmmesso);
    const char third = i + 2 < text.size() ? text[i + 2] : '\0';
    const char* reason = third == '-' ? kCommentoNonValido : third == '[' ? kCDataNonValida : kTagNonRiconosciuto;
    if (cutPrefixOf(text, i, "<!--") || cutPrefixOf(text, i, "<![CDATA[") || cutPrefixOf(text, i, "<!DOCTYPE"))
        return cutOff(text, reason);
    return failAt(third == '-' || third == '[' ? i + 3 : i + 2, reason);
}

// "<?": a processing instruction, or the XML declaration at the very start.
WellFormedScan::Step WellFormedScan::instruction(std::string_view text)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    const std::size_t target = pos_ + 2;
    const std::size_t i = nameEnd(text, target);
    if (i == target) return target == n ? cutOff(text, kIstruzioneNonValida) : failAt(target, kIstruzioneNonValida);
    if (i == n) return cutOff(text, kIstruzioneNonValida);
    const std::string_view name = text.substr(target, i - target);
    if (name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l') {
        if (atStart_ && name == "xml") return declaration(text);
        if (name == "xml") return failAt(pos_, kDichiarazioneFuoriPosto);
        return failAt(target, withWhat(kNomeRiservato, name));
    }
    if (d[i] == '?') {
        if (i + 1 == n) return cutOff(text, kIstruzioneNonValida);
        if (d[i + 1] != '>') return failAt(i + 1, kIstruzioneNonValida);
        end_ = i + 2;
        return Step::Done;
    }
    if (!isSpace(d[i])) return failAt(i, kIstruzioneNonValida);
    return body(text, i, kInstructionStops, "?>", kIstruzioneNonValida);
}

// '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>', at the start of the text.
WellFormedScan::Step WellFormedScan::declaration(std::string_view text)
{
    const std::size_t close = text.find("?>", 5);
    if (close == std::string_view::npos) return cutOff(text, kDichiarazioneNonValida);
    std::size_t i = 5;
    const auto blanks = [&] {
        const std::size_t from = i;
        while (i < close && isSpace(static_cast<unsigned char>(text[i]))) ++i;
        return i > from;
    };
    // S? '=' S? and a quoted value: its place in `from`, `to`.
    std::size_t from = 0;
    std::size_t to = 0;
    const auto value = [&](std::size_t nameSize) -> bool {
        i += nameSize;
        blanks();
        if (i == close || text[i] != '=') return false;
        ++i;
        blanks();
        if (i == close || (text[i] != '"' && text[i] != '\'')) return false;
        from = i + 1;
        to = text.find(text[i], from);
        if (to == std::string_view::npos || to > close) {
            i = close;
            return false;
        }
        i = to + 1;
        return true;
    };
    const auto wrongValue = [&](const char* what) {
        return failAt(from, withWhat(kDichiarazioneNonValida, std::string(what) + " " + excerpt(text, from, to)));
    };

    bool blank = blanks();
    if (!startsWithAt(text, i, "version") || !blank)
        return failAt(i, withWhat(kDichiarazioneNonValida, "manca version"));
    if (!value(7)) return failAt(i, kDichiarazioneNonValida);
    const std::string_view version = text.substr(from, to - from);
    if (version.size() < 3 || !version.starts_with("1.") ||
        !std::all_of(version.begin() + 2, version.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return wrongValue("versione");

    blank = blanks();
    if (startsWithAt(text, i, "encoding")) {
        if (!blank) return failAt(i, kDichiarazioneNonValida);
        if (!value(8)) return failAt(i, kDichiarazioneNonValida);
        const std::string_view name = text.substr(from, to - from);
        const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
        if (name.empty() || !letter(name[0]) || !std::all_of(name.begin(), name.end(), [&](char c) {
                return letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
            }))
            return wrongValue("codifica");
        const EncodingWidth width = widthOf(name);
        const bool fits = fileEncoding_ == FileEncoding::Utf16        ? width == EncodingWidth::Wide
                          : fileEncoding_ == FileEncoding::MarkedUtf8 ? width == EncodingWidth::Utf8
                                                                      : width != EncodingWidth::Wide;
        if (!fits) return failAt(from, withWhat(kCodificaDiversa, excerpt(text, from, to)));
        blank = blanks();
    }
    if (startsWithAt(text, i, "standalone")) {
        if (!blank) return failAt(i, kDichiarazioneNonValida);
        if (!value(10)) return failAt(i, kDichiarazioneNonValida);
        const std::string_view standalone = text.substr(from, to - from);
        if (standalone != "yes" && standalone != "no") return wrongValue("standalone");
        blanks();
    }
    if (i != close) return failAt(i, kDichiarazioneNonValida);
    end_ = close + 2;
    return Step::Done;
}

// At text[amp], a '&': a reference to one of the predefined entities or to
// a character XML allows. `after` is one past it.
WellFormedScan::Step WellFormedScan::reference(std::string_view text, std::size_t amp, std::size_t& after)
{
    const std::size_t n = text.size();
    std::size_t i = amp + 1;
    if (i == n) return Step::Cut;
    if (text[i] == '#') {
        ++i;
        const bool hex = i < n && text[i] == 'x';
        if (hex) ++i;
        const std::size_t digits = i;
        std::uint32_t code = 0;
        for (; i < n; ++i) {
            const int digit = digitValue(text[i], hex);
            if (digit < 0) break;
            code = std::min<std::uint32_t>(code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit), 0x110000);
        }
        if (i == n) return Step::Cut;
        if (i == digits || text[i] != ';') return malformedReference(text, amp);
        if (!isXmlChar(code)) return failAt(amp, kRiferimentoVietato);
        after = i + 1;
        return Step::Done;
    }
    const std::size_t stop = nameEnd(text, i);
    if (stop == i) return failAt(amp, kAmpersandIsolata);
    if (stop == n) return Step::Cut;
    if (text[stop] != ';') return malformedReference(text, amp);
    if (!isPredefinedEntity(text.substr(i, stop - i)))
        return failAt(amp, withWhat(kEntitaNonDefinita, excerpt(text, amp, stop + 1)));
    after = stop + 1;
    return Step::Done;
}

// The reference at `amp` is none: it is shown as written, once the text
// holds all that the message shows.
WellFormedScan::Step WellFormedScan::malformedReference(std::string_view text, std::size_t amp)
{
    const std::size_t end = wordEnd(text, amp);
    if (end == std::string_view::npos && !complete_) return Step::Cut;
    return failAt(amp, withWhat(kRiferimentoNonValido, excerpt(text, amp, end)));
}

// The rest of a comment, CDATA section or instruction from `from`: one past
// `terminator` in end_. In a comment "--" may only end it.
WellFormedScan::Step WellFormedScan::body(std::string_view text, std::size_t from, const MarkupStops& stops,
                                          std::string_view terminator, const char* cut)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    const auto first = static_cast<unsigned char>(terminator[0]);
    const bool comment = terminator == "-->";
    std::size_t i = from;
    for (;;) {
        i = skipPlain(d, i, n, stops);
        if (i == n) return cutOff(text, cut);
        if (d[i] == first) {
            if (startsWithAt(text, i, terminator)) {
                end_ = i + terminator.size();
                return Step::Done;
            }
            if (cutPrefixOf(text, i, terminator)) return cutOff(text, cut);
            if (comment && d[i + 1] == '-') return failAt(i, kDoppioTrattino);
            ++i;
            continue;
        }
        std::size_t after = 0;
        const Step step = character(text, i, after);
        if (step != Step::Done) return step;
        i = after;
    }
}

// At a stop byte that is no markup: a character XML does not allow, or the
// lead byte of a character that may be U+FFFE or U+FFFF.
WellFormedScan::Step WellFormedScan::character(std::string_view text, std::size_t at, std::size_t& after)
{
    const unsigned char* d = bytes(text);
    char code[16];
    if (d[at] == 0xEF) {
        if (at + 2 >= text.size() && !complete_) return Step::Cut;
        if (at + 2 < text.size() && d[at + 1] == 0xBF && (d[at + 2] == 0xBE || d[at + 2] == 0xBF)) {
            std::snprintf(code, sizeof code, "U+%04X", 0xFFC0u | (d[at + 2] & 0x3Fu));
            return failAt(at, withWhat(kCarattereNonAmmesso, code));
        }
        after = at + 1;
        return Step::Done;
    }
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(d[at]));
    return failAt(at, withWhat(kCarattereNonAmmesso, code));
}

// ------------------------------------------------------------------ faults and names

WellFormedScan::Step WellFormedScan::failAt(std::size_t offset, std::string reason)
{
    phase_ = Phase::Failed;
    fault_ = MarkupFault{offset, std::move(reason)};
    return Step::Failed;
}

WellFormedScan::Step WellFormedScan::cutOff(std::string_view text, const char* reason)
{
    if (!complete_) return Step::Cut;
    return failAt(lastCharacter(text), reason);
}

void WellFormedScan::openElement(std::string_view text, std::size_t at, std::size_t size)
{
    if (depth_ == 0)
        rootName_.assign(text.substr(at, size));
    else
        open_.push_back({at, size});
    ++depth_;
}

void WellFormedScan::closeElement()
{
    if (depth_ >= 2) open_.pop_back();
    --depth_;
}

std::string_view WellFormedScan::topName(std::string_view text) const
{
    if (depth_ <= 1) return rootName_;
    return text.substr(open_.back().at, open_.back().size);
}

}  // namespace crv
