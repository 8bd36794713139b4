#pragma once
// A currency amount with four decimals, held as a whole number of
// ten-thousandths, so sums over a whole delivery are exact.
#include <compare>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "numbers/regional.h"

namespace crv {

// An amount outside the currency range (about ±922 thousand billion).
class AmountOverflow : public std::overflow_error {
public:
    AmountOverflow() : std::overflow_error("importo fuori dall'intervallo ammesso") {}
};

class Amount {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Amount() = default;
    static constexpr Amount fromRaw(std::int64_t tenThousandths) { return Amount(tenThousandths); }
    static Amount fromUnits(std::int64_t units);
    constexpr std::int64_t raw() const { return raw_; }
    constexpr bool isZero() const { return raw_ == 0; }

    // The text converted under the regional settings: blanks around it, an
    // optional sign, digits with the grouping sign only between groups of
    // three, the decimal sign and decimals (rounded half to even beyond the
    // fourth, as the currency type does). Nothing when it is not a number;
    // AmountOverflow when it is one beyond the currency's range.
    static std::optional<Amount> parseRegional(std::string_view text, const Regional& regional);
    // The ends of that range.
    static constexpr Amount minimum() { return Amount(INT64_MIN); }
    static constexpr Amount maximum() { return Amount(INT64_MAX); }

    // The leading number of the text read with a period as decimal point,
    // blanks anywhere ignored, the rest of the text ignored; 0 when the text
    // does not start with a number. Nothing only on overflow.
    static std::optional<Amount> parseLeadingNumber(std::string_view text);

    // Plain number in the regional form: no grouping, no trailing zeros
    // ("1234,5", "-2", "0").
    std::string toRegional(const Regional& regional) const;
    // Rounded to 2 decimals with the regional grouping ("1.234,50").
    std::string toGrouped2(const Regional& regional) const;
    // Invariant form: a blank before a zero or positive amount, a minus
    // before a negative one, a period before the decimals (" 1234.5", "-2").
    std::string toInvariant() const;
    // Plain digits with a period and no leading blank ("1234.5"): the form a
    // database numeric parameter takes.
    std::string toPlain() const;

    Amount operator+(Amount other) const;
    Amount operator-(Amount other) const;
    Amount& operator+=(Amount other) { return *this = *this + other; }
    constexpr auto operator<=>(const Amount&) const = default;

private:
    constexpr explicit Amount(std::int64_t raw) : raw_(raw) {}
    std::int64_t raw_ = 0;
};

}  // namespace crv
