#include "numbers/amount.h"

#include "text/encoding.h"

namespace crv {
namespace {

bool startsWith(std::string_view text, std::size_t pos, std::string_view what)
{
    return text.substr(pos, what.size()) == what;
}

// A 128-bit integer holds any value on its way to the 64-bit range check; the
// extension keyword keeps -Wpedantic quiet about the compiler's own type.
__extension__ typedef __int128 Wide;

// The magnitude of a raw value; INT64_MIN's fits in 64 unsigned bits.
std::uint64_t magnitude(std::int64_t raw)
{
    return raw < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(raw) : static_cast<std::uint64_t>(raw);
}

std::string utf8Of(char32_t cp)
{
    std::string s;
    appendUtf8(s, cp);
    return s;
}

// The raw value of whole units and the first four decimals, rounded half
// to even by the fifth decimal (next, -1 when there is none) and whether any
// decimal after it is not zero. Nothing on overflow.
std::optional<std::int64_t> rounded(Wide whole, std::int64_t frac, int next, bool tailNonZero, bool negative)
{
    Wide value = whole * Amount::kScale + frac;
    if (next >= 0) {
        bool up = next > 5;
        if (next == 5) up = tailNonZero || (value % 2 == 1);  // half to even
        if (up) ++value;
    }
    if (negative) value = -value;
    if (value > INT64_MAX || value < INT64_MIN) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

// The largest whole part worth accumulating: beyond it the value overflows anyway.
constexpr Wide kWholeLimit = (static_cast<Wide>(INT64_MAX) / Amount::kScale) + 1;

// Builds the raw value from whole digits and decimal digits, rounding half to
// even beyond the fourth decimal. Nothing on overflow.
std::optional<std::int64_t> compose(std::string_view whole, std::string_view decimals, bool negative)
{
    Wide value = 0;
    for (const char c : whole) {
        value = value * 10 + (c - '0');
        if (value > kWholeLimit) return std::nullopt;
    }
    std::int64_t frac = 0;
    for (std::size_t i = 0; i < 4; ++i) frac = frac * 10 + (i < decimals.size() ? decimals[i] - '0' : 0);
    bool tail = false;
    for (std::size_t i = 5; i < decimals.size(); ++i) tail = tail || decimals[i] != '0';
    return rounded(value, frac, decimals.size() > 4 ? decimals[4] - '0' : -1, tail, negative);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

Amount Amount::fromUnits(std::int64_t units)
{
    std::int64_t raw = 0;
    if (__builtin_mul_overflow(units, kScale, &raw)) throw AmountOverflow();
    return Amount(raw);
}

std::optional<Amount> Amount::parseRegional(std::string_view text, const Regional& regional)
{
    const std::string dec = utf8Of(regional.decimalSign);
    const std::string grp = utf8Of(regional.groupSign);
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
        skipBlanks();
    }

    std::string whole;
    int groupLen = 0;          // digits since the last grouping sign
    bool grouped = false;      // a grouping sign was met
    bool firstGroup = true;
    while (i < text.size()) {
        if (text[i] >= '0' && text[i] <= '9') {
            whole += text[i++];
            ++groupLen;
        } else if (!grp.empty() && startsWith(text, i, grp) && !whole.empty() && dec != grp) {
            // Groups after the first must have exactly three digits.
            if ((firstGroup && groupLen > 3) || (!firstGroup && groupLen != 3)) return std::nullopt;
            firstGroup = false;
            grouped = true;
            groupLen = 0;
            i += grp.size();
        } else {
            break;
        }
    }
    if (grouped && groupLen != 3) return std::nullopt;

    std::string decimals;
    if (startsWith(text, i, dec)) {
        i += dec.size();
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') decimals += text[i++];
    }
    skipBlanks();
    if (i != text.size() || (whole.empty() && decimals.empty())) return std::nullopt;
    const auto raw = compose(whole, decimals, negative);
    if (!raw) throw AmountOverflow();
    return Amount(*raw);
}

std::optional<Amount> Amount::parseLeadingNumber(std::string_view text)
{
    // One pass without copies: invoices read thousands of these. Blanks,
    // tabs and line ends are passed over wherever they stand.
    std::size_t i = 0;
    const auto next = [&]() -> int {  // the next character that is not a blank, or -1
        while (i < text.size() && isBlank(text[i])) ++i;
        return i < text.size() ? static_cast<unsigned char>(text[i]) : -1;
    };
    const auto isDigit = [](int c) { return c >= '0' && c <= '9'; };

    bool negative = false;
    if (const int c = next(); c == '-' || c == '+') {
        negative = c == '-';
        ++i;
    }
    Wide whole = 0;
    for (int c = next(); isDigit(c); c = next()) {
        whole = whole * 10 + (c - '0');
        if (whole > kWholeLimit) return std::nullopt;
        ++i;
    }
    std::int64_t frac = 0;
    std::size_t count = 0;
    int fifth = -1;
    bool tail = false;
    if (next() == '.') {
        ++i;
        for (int c = next(); isDigit(c); c = next()) {
            if (count < 4) frac = frac * 10 + (c - '0');
            else if (count == 4) fifth = c - '0';
            else tail = tail || c != '0';
            ++count;
            ++i;
        }
    }
    for (; count < 4; ++count) frac *= 10;
    const auto raw = rounded(whole, frac, fifth, tail, negative);
    if (!raw) return std::nullopt;
    return Amount(*raw);
}

std::string Amount::toPlain() const
{
    const bool negative = raw_ < 0;
    const std::uint64_t mag = magnitude(raw_);
    const auto whole = static_cast<unsigned long long>(mag / kScale);
    auto frac = static_cast<unsigned>(mag % kScale);
    std::string out = negative ? "-" : "";
    out += std::to_string(whole);
    if (frac != 0) {
        char digits[5];
        for (int k = 3; k >= 0; --k) {
            digits[k] = static_cast<char>('0' + frac % 10);
            frac /= 10;
        }
        int len = 4;
        while (len > 0 && digits[len - 1] == '0') --len;
        out += '.';
        out.append(digits, static_cast<std::size_t>(len));
    }
    return out;
}

std::string Amount::toInvariant() const
{
    const std::string plain = toPlain();
    return raw_ < 0 ? plain : " " + plain;
}

std::string Amount::toRegional(const Regional& regional) const
{
    std::string plain = toPlain();
    const auto dot = plain.find('.');
    if (dot != std::string::npos) plain.replace(dot, 1, utf8Of(regional.decimalSign));
    return plain;
}

std::string Amount::toGrouped2(const Regional& regional) const
{
    // Round half away from zero to hundredths.
    const bool negative = raw_ < 0;
    std::uint64_t mag = magnitude(raw_);
    mag = (mag + 50) / 100;  // now in hundredths
    const auto whole = static_cast<unsigned long long>(mag / 100);
    const auto cents = static_cast<unsigned>(mag % 100);
    const std::string digits = std::to_string(whole);
    const std::string grp = utf8Of(regional.groupSign);
    std::string out = negative && mag != 0 ? "-" : "";
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) out += grp;
        out += digits[k];
    }
    out += utf8Of(regional.decimalSign);
    out += static_cast<char>('0' + cents / 10);
    out += static_cast<char>('0' + cents % 10);
    return out;
}

Amount Amount::operator+(Amount other) const
{
    std::int64_t r = 0;
    if (__builtin_add_overflow(raw_, other.raw_, &r)) throw AmountOverflow();
    return Amount(r);
}

Amount Amount::operator-(Amount other) const
{
    std::int64_t r = 0;
    if (__builtin_sub_overflow(raw_, other.raw_, &r)) throw AmountOverflow();
    return Amount(r);
}

}  // namespace crv
