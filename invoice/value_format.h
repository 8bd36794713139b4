#pragma once
// The file's numbers and dates as the complete view shows them: amounts
// grouped by thousands with at least two decimals, quantities and prices
// with the decimals the file gives, dates day first. A text that is not a
// number or a date is shown as it stands, so nothing the file says is hidden.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numbers/amount.h"
#include "numbers/regional.h"

namespace crv {

// "2000.00" -> "2.000,00", "11.31000000" -> "11,31", "0.01249724" ->
// "0,01249724", "-1.5" -> "-1,50"; "" stays "".
std::string formatAmountText(std::string_view text, const Regional& regional);

// Every decimal as the file gives it: "1.00000000" -> "1,00000000",
// "12000.5" -> "12.000,5".
std::string formatAsGiven(std::string_view text, const Regional& regional);

// A rate: "22.00" -> "22,00%".
std::string formatPercent(std::string_view text, const Regional& regional);

// "2014-12-18" -> "18/12/2014"; a date with a time ("2012-10-22T16:46:12.000+02:00")
// -> "22/10/2012 16:46:12".
std::string formatDateText(std::string_view text, const Regional& regional);

// The sum of the texts that are numbers; nothing when none is, or when one
// is not a number (a sum of part of the values would mislead).
std::optional<Amount> sumAmounts(const std::vector<std::string>& texts);

}  // namespace crv
