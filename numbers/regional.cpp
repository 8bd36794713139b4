#include "numbers/regional.h"

#include <QLocale>
#include <QString>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "text/encoding.h"

namespace crv {

Regional Regional::italian()
{
    return Regional{',', '.', DateOrder::DayMonthYear, '/'};
}

Regional Regional::english()
{
    return Regional{'.', ',', DateOrder::MonthDayYear, '/'};
}

namespace {

bool choosesNothing(const QLocale& locale)
{
    return locale.language() == QLocale::C;
}

Regional fromQLocale(const QLocale& locale)
{
    if (choosesNothing(locale)) return Regional::italian();
    Regional r;
    const QString dec = locale.decimalPoint();
    const QString grp = locale.groupSeparator();
    r.decimalSign = dec.isEmpty() ? U'.' : dec.toUcs4().value(0, U'.');
    r.groupSign = grp.isEmpty() ? U' ' : grp.toUcs4().value(0, U' ');
    if (r.groupSign == 0x00A0 || r.groupSign == 0x202F) r.groupSign = U' ';

    // The short date format, e.g. "dd/MM/yy" or "M/d/yy": the order of its
    // fields and the first separator between them.
    const QString fmt = locale.dateFormat(QLocale::ShortFormat);
    const auto posD = fmt.indexOf(QLatin1Char('d'));
    const auto posM = fmt.indexOf(QLatin1Char('M'));
    const auto posY = fmt.indexOf(QLatin1Char('y'));
    if (posY >= 0 && posY < posM && posY < posD)
        r.dateOrder = DateOrder::YearMonthDay;
    else if (posM >= 0 && posM < posD)
        r.dateOrder = DateOrder::MonthDayYear;
    else
        r.dateOrder = DateOrder::DayMonthYear;
    // The first separator the dates are read back with: some short formats
    // put a direction mark before it (Arabic: "d\u200F/M\u200F/yyyy"), and a
    // default date written with that mark would not read back.
    r.dateSeparator = U'/';
    for (const QChar c : fmt) {
        if (c == QLatin1Char('/') || c == QLatin1Char('-') || c == QLatin1Char('.')) {
            r.dateSeparator = c.unicode();
            break;
        }
    }
    return r;
}

}  // namespace

#ifndef _WIN32
namespace {

// The locale a category follows, by the POSIX rule: LC_ALL, else the
// category's own variable, else LANG; empty when none is set.
std::string localeOf(const char* category)
{
    for (const char* name : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

}  // namespace
#endif

Regional Regional::system()
{
#ifdef _WIN32
    return fromQLocale(QLocale::system());
#else
    // Amounts follow LC_NUMERIC and dates LC_TIME, each on its own: a
    // category whose locale chooses nothing (C, POSIX, unset) or that Qt does
    // not know gives the Italian forms, whatever LC_MESSAGES says.
    const Regional numbers = fromLocaleName(localeOf("LC_NUMERIC")).value_or(italian());
    const Regional dates = fromLocaleName(localeOf("LC_TIME")).value_or(italian());
    Regional r = numbers;
    r.dateOrder = dates.dateOrder;
    r.dateSeparator = dates.dateSeparator;
    return r;
#endif
}

std::optional<Regional> Regional::fromLocaleName(std::string_view name)
{
    const QString qname = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    // The codeset and modifier ("it_IT.UTF-8@euro") do not change the forms.
    const QString base = qname.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (base.isEmpty()) return std::nullopt;
    if (base == QLatin1String("C") || base == QLatin1String("POSIX")) return Regional::italian();
    const QLocale locale(base);
    // Qt falls back to C for a name it does not know.
    if (choosesNothing(locale)) return std::nullopt;
    return fromQLocale(locale);
}

namespace {

bool isSeparator(char c)
{
    return c == '/' || c == '-' || c == '.';
}

// Splits "a/b/c" into three runs of digits; false on anything else.
bool splitDate(std::string_view text, std::array<std::string_view, 3>& parts)
{
    std::size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i == start || i - start > 4) return false;
        parts[k] = text.substr(start, i - start);
        if (k < 2) {
            if (i >= text.size() || !isSeparator(text[i])) return false;
            ++i;
        }
    }
    return i == text.size();
}

int toInt(std::string_view digits)
{
    int v = 0;
    for (const char c : digits) v = v * 10 + (c - '0');
    return v;
}

std::optional<std::chrono::year_month_day> makeDate(int y, int m, int d)
{
    const std::chrono::year_month_day date{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(m)},
                                           std::chrono::day{static_cast<unsigned>(d)}};
    if (!date.ok() || y < 100 || y > 9999) return std::nullopt;
    return date;
}

int expandYear(std::string_view digits)
{
    const int y = toInt(digits);
    if (digits.size() > 2) return y;
    return y < 30 ? 2000 + y : 1900 + y;
}

}  // namespace

std::optional<std::chrono::year_month_day> Regional::parseDate(std::string_view text) const
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::array<std::string_view, 3> p;
    if (!splitDate(text, p)) return std::nullopt;

    // ISO form first: a four-digit leading field can only be a year.
    if (p[0].size() == 4) return makeDate(toInt(p[0]), toInt(p[1]), toInt(p[2]));
    if (p[2].size() == 3) return std::nullopt;
    switch (dateOrder) {
    case DateOrder::DayMonthYear:
        return makeDate(expandYear(p[2]), toInt(p[1]), toInt(p[0]));
    case DateOrder::MonthDayYear:
        return makeDate(expandYear(p[2]), toInt(p[0]), toInt(p[1]));
    case DateOrder::YearMonthDay:
        return makeDate(expandYear(p[0]), toInt(p[1]), toInt(p[2]));
    }
    return std::nullopt;
}

std::string Regional::formatDate(std::chrono::year_month_day date) const
{
    const int y = static_cast<int>(date.year());
    const unsigned m = static_cast<unsigned>(date.month());
    const unsigned d = static_cast<unsigned>(date.day());
    std::string sep;
    appendUtf8(sep, dateSeparator);
    char buf[32];
    switch (dateOrder) {
    case DateOrder::MonthDayYear:
        std::snprintf(buf, sizeof buf, "%02u%s%02u%s%04d", m, sep.c_str(), d, sep.c_str(), y);
        break;
    case DateOrder::YearMonthDay:
        std::snprintf(buf, sizeof buf, "%04d%s%02u%s%02u", y, sep.c_str(), m, sep.c_str(), d);
        break;
    default:
        std::snprintf(buf, sizeof buf, "%02u%s%02u%s%04d", d, sep.c_str(), m, sep.c_str(), y);
        break;
    }
    return buf;
}

std::string Regional::amountForm() const
{
    std::string decimal;
    std::string group;
    appendUtf8(decimal, decimalSign);
    appendUtf8(group, groupSign);
    return "1234" + decimal + "56 o 1" + group + "234" + decimal + "56";
}

std::string Regional::dateForm() const
{
    std::string sep;
    appendUtf8(sep, dateSeparator);
    switch (dateOrder) {
    case DateOrder::MonthDayYear:
        return "mm" + sep + "gg" + sep + "aaaa";
    case DateOrder::YearMonthDay:
        return "aaaa" + sep + "mm" + sep + "gg";
    case DateOrder::DayMonthYear:
        break;
    }
    return "gg" + sep + "mm" + sep + "aaaa";
}

}  // namespace crv
