#pragma once
// The bytes of XML text as its rules see them (WellFormedScan): the classes
// of bytes, the scans that find the next byte that matters, sixteen bytes at
// a time where the processor allows (every byte of a file passes there),
// the names, and the excerpts of the file a message shows.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace crv {

using ByteTable = std::array<bool, 256>;

// One byte sixteen times, for the wide comparisons.
struct alignas(16) SixteenBytes {
    unsigned char b[16];
};

constexpr SixteenBytes sixteen(unsigned char c)
{
    SixteenBytes out{};
    for (unsigned char& b : out.b) b = c;
    return out;
}

// The bytes a stretch of text stops at: the control characters XML does not
// allow, the lead byte of U+FFFE and U+FFFF, and the stretch's own ones.
struct MarkupStops {
    ByteTable table{};
    unsigned char own[3] = {};
    SixteenBytes wide[3] = {};

    constexpr explicit MarkupStops(std::string_view stops)
    {
        for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = c != '\t' && c != '\n' && c != '\r';
        table[0xEF] = true;
        for (std::size_t k = 0; k < 3; ++k) {
            own[k] = static_cast<unsigned char>(stops[std::min(k, stops.size() - 1)]);
            table[own[k]] = true;
            wide[k] = sixteen(own[k]);
        }
    }
};

namespace markup {

inline constexpr MarkupStops kTextStops("<&]");
inline constexpr MarkupStops kQuotStops("\"<&");
inline constexpr MarkupStops kAposStops("'<&");
inline constexpr MarkupStops kCommentStops("-");
inline constexpr MarkupStops kInstructionStops("?");
inline constexpr MarkupStops kCDataStops("]");

// How a byte stands in a name: 1 a character of names below 0x80, 2 the
// lead of one above (decoded and looked up), 0 none.
inline constexpr std::array<unsigned char, 256> nameBytes(bool start)
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

inline constexpr std::array<unsigned char, 256> kNameStartBytes = nameBytes(true);
inline constexpr std::array<unsigned char, 256> kNameBytes = nameBytes(false);

// Characters above ASCII that begin a name, and that go on one.
bool nameStartCode(char32_t c);
bool nameCode(char32_t c);

constexpr ByteTable blanks()
{
    ByteTable t{};
    t[' '] = t['\t'] = t['\r'] = t['\n'] = true;
    return t;
}

inline constexpr ByteTable kBlank = blanks();

inline bool isSpace(unsigned char c)
{
    return kBlank[c];
}

// Past the blanks from `i`.
inline std::size_t skipBlanks(const unsigned char* d, std::size_t i, std::size_t n)
{
    while (i < n && kBlank[d[i]]) ++i;
    return i;
}

inline bool isXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

inline const unsigned char* bytes(std::string_view text)
{
    return reinterpret_cast<const unsigned char*>(text.data());
}

#ifdef __SSE2__
inline __m128i splat(const SixteenBytes& bytes)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes.b));
}

inline constexpr SixteenBytes kLead = sixteen(0xEF);
inline constexpr SixteenBytes kControl = sixteen(0x1F);
inline constexpr SixteenBytes kTab = sixteen('\t');
inline constexpr SixteenBytes kLf = sixteen('\n');
inline constexpr SixteenBytes kCr = sixteen('\r');
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
char32_t decodeAt(std::string_view text, std::size_t i, std::size_t& length);

// The rest of a name from `i`, where a character above ASCII (or the first
// character, `first`) stands: as nameEnd.
std::size_t slowNameEnd(std::string_view text, std::size_t i, bool first);

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
inline bool sameBytes(const char* a, const char* b, std::size_t size, bool sixteenReadable)
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
bool nameGoesOn(std::string_view text, std::size_t i);

// The start of the text's last character.
std::size_t lastCharacter(std::string_view text);

// The text from `from` to `to` for a message: whole characters, at most a
// few dozen bytes (then "..."), never a control character.
std::string excerpt(std::string_view text, std::size_t from, std::size_t to);

// The end of the reference written at `from`, however malformed: past its
// ';', or at a blank, markup or a quote, or where a message stops showing
// it. npos when the text ends first.
std::size_t wordEnd(std::string_view text, std::size_t from);

// A reason followed by what the file holds.
std::string withWhat(const char* reason, std::string_view what);

inline bool startsWithAt(std::string_view text, std::size_t at, std::string_view prefix)
{
    return text.substr(at, prefix.size()) == prefix;
}

// The text from `at` on is shorter than `whole` and begins it.
inline bool cutPrefixOf(std::string_view text, std::size_t at, std::string_view whole)
{
    const std::string_view rest = text.substr(at);
    return rest.size() < whole.size() && whole.starts_with(rest);
}

inline bool isPredefinedEntity(std::string_view name)
{
    return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

inline int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace markup
}  // namespace crv
