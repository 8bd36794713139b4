#pragma once
// Regional settings: the decimal and grouping signs and the short date form
// that amounts typed or read under "the system's number format" follow.
// They come from the system locale (LC_ALL, LC_NUMERIC, LANG), as the
// operators' desktops are set up; a locale that chooses no regional settings
// (C, POSIX, unset) gives the Italian ones, the suite being Italian. Tests
// pin them explicitly.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace crv {

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

struct Regional {
    char32_t decimalSign = ',';
    char32_t groupSign = '.';
    DateOrder dateOrder = DateOrder::DayMonthYear;
    char32_t dateSeparator = '/';

    static Regional italian();
    static Regional english();
    // The settings of the system locale, read through Qt (valid also where the
    // locale is not generated on the machine): amounts by LC_NUMERIC, dates
    // by LC_TIME (LC_ALL and LANG as POSIX says); Italian under C or POSIX.
    static Regional system();
    // The settings of a named locale ("it_IT", "en_GB", "de_DE.UTF-8");
    // nothing when Qt does not know the name. "C" and "POSIX" give Italian.
    static std::optional<Regional> fromLocaleName(std::string_view name);

    // A date typed in the short form: day, month and year in the locale's
    // order separated by "/", "-" or "."; four-digit years first, two-digit
    // years taken as 1930-2029. Also accepts the ISO form yyyy-mm-dd.
    std::optional<std::chrono::year_month_day> parseDate(std::string_view text) const;
    // The short form with a four-digit year (dd/mm/yyyy in Italy).
    std::string formatDate(std::chrono::year_month_day date) const;
    // That form in words for messages: "gg/mm/aaaa" in Italy, "mm/gg/aaaa" in the US.
    std::string dateForm() const;
    // An amount as these settings read it, for messages: "1234,56 o 1.234,56" in Italy.
    std::string amountForm() const;
};

}  // namespace crv
