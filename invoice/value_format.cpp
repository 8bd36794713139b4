#include "invoice/value_format.h"

#include <chrono>

#include "text/encoding.h"

namespace crv {
namespace {

// A plain decimal number as the schema writes them: an optional minus,
// digits, optionally "." and digits.
struct Decimal {
    bool negative = false;
    std::string_view whole;
    std::string_view decimals;
};

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool allDigits(std::string_view s)
{
    for (const char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::optional<Decimal> decimalOf(std::string_view text)
{
    text = trimmed(text);
    Decimal d;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        d.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto point = text.find('.');
    d.whole = text.substr(0, point);
    if (point != std::string_view::npos) d.decimals = text.substr(point + 1);
    if (d.whole.empty() || !allDigits(d.whole) || !allDigits(d.decimals)) return std::nullopt;
    if (point != std::string_view::npos && d.decimals.empty()) return std::nullopt;
    return d;
}

std::string grouped(const Decimal& d, std::string_view decimals, const Regional& regional)
{
    std::string out;
    if (d.negative) out += '-';
    const std::size_t n = d.whole.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) appendUtf8(out, regional.groupSign);
        out += d.whole[i];
    }
    if (!decimals.empty()) {
        appendUtf8(out, regional.decimalSign);
        out += decimals;
    }
    return out;
}

int digitsAt(std::string_view s, std::size_t pos, std::size_t count)
{
    if (pos + count > s.size()) return -1;
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

}  // namespace

std::string formatAmountText(std::string_view text, const Regional& regional)
{
    const auto d = decimalOf(text);
    if (!d) return std::string(text);
    std::string decimals(d->decimals);
    while (decimals.size() > 2 && decimals.back() == '0') decimals.pop_back();
    while (decimals.size() < 2) decimals += '0';
    return grouped(*d, decimals, regional);
}

std::string formatAsGiven(std::string_view text, const Regional& regional)
{
    const auto d = decimalOf(text);
    if (!d) return std::string(text);
    return grouped(*d, d->decimals, regional);
}

std::string formatPercent(std::string_view text, const Regional& regional)
{
    if (trimmed(text).empty()) return {};
    return formatAsGiven(text, regional) + "%";
}

std::string formatDateText(std::string_view text, const Regional& regional)
{
    const std::string_view t = trimmed(text);
    const int y = digitsAt(t, 0, 4);
    const int m = digitsAt(t, 5, 2);
    const int d = digitsAt(t, 8, 2);
    if (y < 0 || m < 0 || d < 0 || t[4] != '-' || t[7] != '-') return std::string(text);
    const std::chrono::year_month_day date{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                           std::chrono::day(static_cast<unsigned>(d))};
    if (!date.ok()) return std::string(text);
    std::string out = regional.formatDate(date);
    if (t.size() == 10) return out;
    // A time after a "T": hours, minutes and seconds as written, the rest
    // (fractions, zone) left out.
    if (t[10] != 'T' || digitsAt(t, 11, 2) < 0 || digitsAt(t, 14, 2) < 0) return std::string(text);
    const std::size_t end = digitsAt(t, 17, 2) >= 0 ? 19 : 16;
    return out + " " + std::string(t.substr(11, end - 11));
}

std::optional<Amount> sumAmounts(const std::vector<std::string>& texts)
{
    Amount total;
    bool any = false;
    for (const std::string& text : texts) {
        if (trimmed(text).empty()) continue;
        if (!decimalOf(text)) return std::nullopt;
        const auto value = Amount::parseLeadingNumber(trimmed(text));
        if (!value) return std::nullopt;
        try {
            total += *value;
        } catch (const AmountOverflow&) {
            return std::nullopt;
        }
        any = true;
    }
    if (!any) return std::nullopt;
    return total;
}

}  // namespace crv
