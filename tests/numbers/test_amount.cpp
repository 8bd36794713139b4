// Amounts and regional settings: the two conversions from text, the three
// text forms, and the short dates typed in the parameter boxes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "numbers/amount.h"
#include "numbers/regional.h"

namespace crv {
namespace {

const Regional it = Regional::italian();
const Regional en = Regional::english();

std::string regional(std::string_view text, const Regional& r = it)
{
    const auto a = Amount::parseRegional(text, r);
    return a ? a->toRegional(r) : "<non numero>";
}

TEST(AmountRegional, ItalianForms)
{
    EXPECT_EQ(regional("12,50"), "12,5");
    EXPECT_EQ(regional("1.234,5"), "1234,5");
    EXPECT_EQ(regional("1234,5"), "1234,5");
    EXPECT_EQ(regional("1.000.000"), "1000000");
    EXPECT_EQ(regional("  -7,25 "), "-7,25");
    EXPECT_EQ(regional("+3"), "3");
    EXPECT_EQ(regional(",5"), "0,5");
    EXPECT_EQ(regional("0"), "0");
    EXPECT_EQ(regional("-0,00"), "0");
}

TEST(AmountRegional, RefusesWhatIsNotANumberInsteadOfGuessing)
{
    // A period is the grouping sign in Italy: "12.50" is neither twelve and a
    // half nor 1250, so it is refused rather than silently multiplied.
    for (const char* bad : {"", "   ", "abc", "12.50", "1.23,4", "12,5,0", "1..234", "12,5x", "--1", ",", "1 234"})
        EXPECT_EQ(regional(bad), "<non numero>") << bad;
}

TEST(AmountRegional, EnglishSettingsSwapTheSigns)
{
    EXPECT_EQ(regional("1,234.5", en), "1234.5");
    EXPECT_EQ(regional("12.50", en), "12.5");
    EXPECT_EQ(regional("12,50", en), "<non numero>");
}

TEST(AmountRegional, RoundsHalfToEvenBeyondFourDecimals)
{
    EXPECT_EQ(Amount::parseRegional("0,00005", it)->raw(), 0);
    EXPECT_EQ(Amount::parseRegional("0,00015", it)->raw(), 2);
    EXPECT_EQ(Amount::parseRegional("0,000151", it)->raw(), 2);
    EXPECT_EQ(Amount::parseRegional("-0,00025", it)->raw(), -2);
    EXPECT_EQ(Amount::parseRegional("1,99999", it)->raw(), 20000);
}

TEST(AmountRegional, RangeOfTheCurrencyType)
{
    EXPECT_TRUE(Amount::parseRegional("922337203685477,5807", it).has_value());
    EXPECT_TRUE(Amount::parseRegional("-922337203685477,5808", it).has_value());
    EXPECT_THROW(Amount::parseRegional("922337203685477,5808", it), AmountOverflow);
    EXPECT_THROW(Amount::parseRegional("99999999999999999999999", it), AmountOverflow);
    EXPECT_EQ(Amount::maximum().toRegional(it), "922337203685477,5807");
    EXPECT_EQ(Amount::minimum().toRegional(it), "-922337203685477,5808");
}

TEST(AmountLeadingNumber, ReadsWithAPeriodWhateverTheSettings)
{
    auto val = [](std::string_view t) { return Amount::parseLeadingNumber(t)->toInvariant(); };
    EXPECT_EQ(val("12.50"), " 12.5");
    EXPECT_EQ(val("150.00 EUR"), " 150");
    EXPECT_EQ(val(" 1 2 3"), " 123");  // blanks inside are passed over
    EXPECT_EQ(val("12,50"), " 12");    // the comma ends the number
    EXPECT_EQ(val("abc"), " 0");
    EXPECT_EQ(val(""), " 0");
    EXPECT_EQ(val("-0.5"), "-0.5");
    EXPECT_EQ(val("000000000000000000000000001.25"), " 1.25");
    EXPECT_FALSE(Amount::parseLeadingNumber("99999999999999999999").has_value());
}

TEST(AmountLeadingNumber, RoundsHalfToEvenAtTheFifthDecimal)
{
    auto val = [](std::string_view t) { return Amount::parseLeadingNumber(t)->toInvariant(); };
    EXPECT_EQ(val("12.345678"), " 12.3457");
    EXPECT_EQ(val("12.34565"), " 12.3456");      // exactly half: to the even neighbour
    EXPECT_EQ(val("12.34575"), " 12.3458");
    EXPECT_EQ(val("12.345650001"), " 12.3457");  // more than half
    EXPECT_EQ(val("-12.34565"), "-12.3456");
    EXPECT_EQ(val("-12.34575"), "-12.3458");
    EXPECT_EQ(val("0.99995"), " 1");
    EXPECT_EQ(val("- 1 .2 5"), "-1.25");  // blanks anywhere, the sign included
    EXPECT_EQ(val("7."), " 7");
    EXPECT_EQ(val(".5"), " 0.5");
    EXPECT_EQ(val("922337203685477.58065"), " 922337203685477.5806");
    EXPECT_EQ(val("922337203685477.5807"), " 922337203685477.5807");
    EXPECT_FALSE(Amount::parseLeadingNumber("922337203685477.58075").has_value());  // rounds past the range
}

TEST(AmountText, TheThreeForms)
{
    const Amount a = *Amount::parseRegional("1234,5", it);
    EXPECT_EQ(a.toRegional(it), "1234,5");
    EXPECT_EQ(a.toRegional(en), "1234.5");
    EXPECT_EQ(a.toInvariant(), " 1234.5");
    EXPECT_EQ(Amount().toInvariant(), " 0");
    EXPECT_EQ(Amount::fromUnits(-2).toInvariant(), "-2");
    EXPECT_EQ(Amount::fromRaw(5000).toInvariant(), " 0.5");
    EXPECT_EQ(Amount::fromRaw(-1).toRegional(it), "-0,0001");

    EXPECT_EQ(a.toGrouped2(it), "1.234,50");
    EXPECT_EQ(a.toGrouped2(en), "1,234.50");
    EXPECT_EQ(Amount::fromRaw(1234567890125).toGrouped2(it), "123.456.789,01");
    EXPECT_EQ(Amount::fromRaw(1234567890150).toGrouped2(it), "123.456.789,02");  // half away from zero
    EXPECT_EQ(Amount::fromRaw(-50).toGrouped2(it), "-0,01");
    EXPECT_EQ(Amount::fromRaw(-49).toGrouped2(it), "0,00");
    EXPECT_EQ(Amount().toGrouped2(it), "0,00");
}

TEST(AmountArithmetic, SumsAreExactAndOverflowIsCaught)
{
    Amount sum;
    for (int i = 0; i < 10; ++i) sum += *Amount::parseRegional("0,1", it);
    EXPECT_EQ(sum, Amount::fromUnits(1));
    EXPECT_THROW(Amount::fromRaw(INT64_MAX) + Amount::fromRaw(1), AmountOverflow);
    EXPECT_THROW(Amount::fromRaw(INT64_MIN) - Amount::fromRaw(1), AmountOverflow);
}

TEST(RegionalDates, ShortFormsAndIso)
{
    using namespace std::chrono;
    EXPECT_EQ(it.parseDate("07/12/2026"), year{2026} / December / 7);
    EXPECT_EQ(it.parseDate("7/12/26"), year{2026} / December / 7);
    EXPECT_EQ(it.parseDate("01/01/30"), year{1930} / January / 1);
    EXPECT_EQ(it.parseDate("2026-12-07"), year{2026} / December / 7);
    EXPECT_EQ(it.parseDate(" 07-12-2026 "), year{2026} / December / 7);
    EXPECT_EQ(en.parseDate("12/7/2026"), year{2026} / December / 7);
    for (const char* bad : {"", "31/02/2026", "07/13/2026", "oggi", "07/12", "07/12/2026 10:00", "1/1/202"})
        EXPECT_FALSE(it.parseDate(bad).has_value()) << bad;
    EXPECT_EQ(it.formatDate(year{2026} / January / 5), "05/01/2026");
    EXPECT_EQ(en.formatDate(year{2026} / January / 5), "01/05/2026");
}

// Sets locale variables for one scope and puts the old values back.
class LocaleEnvironment {
public:
    explicit LocaleEnvironment(std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LC_MESSAGES", "LANG"}) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(name);
        }
        for (const auto& [name, value] : values) setenv(name, value, 1);
    }
    ~LocaleEnvironment()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(RegionalSystem, FollowsTheLocaleOfTheEnvironment)
{
    // The Italian locale need not be generated on the machine.
    Regional sys;
    {
        const LocaleEnvironment env({{"LC_ALL", "it_IT.UTF-8"}});
        sys = Regional::system();
    }
    EXPECT_EQ(sys.decimalSign, U',');
    EXPECT_EQ(sys.groupSign, U'.');
    EXPECT_EQ(sys.dateOrder, DateOrder::DayMonthYear);
    EXPECT_EQ(sys.dateSeparator, U'/');
}

TEST(RegionalSystem, AmountsFollowLcNumericAndDatesLcTime)
{
    {
        // English messages on a British desktop: still British numbers.
        const LocaleEnvironment env({{"LANG", "en_GB.UTF-8"}, {"LC_MESSAGES", "C"}});
        const Regional r = Regional::system();
        EXPECT_EQ(r.decimalSign, U'.');
        EXPECT_EQ(r.dateOrder, DateOrder::DayMonthYear);
    }
    {
        const LocaleEnvironment env({{"LANG", "C.UTF-8"}, {"LC_NUMERIC", "en_US.UTF-8"}});
        const Regional r = Regional::system();
        EXPECT_EQ(r.decimalSign, U'.');
        EXPECT_EQ(r.dateOrder, DateOrder::DayMonthYear);  // LC_TIME chooses nothing: Italian
    }
    {
        const LocaleEnvironment env({{"LANG", "it_IT.UTF-8"}, {"LC_TIME", "en_US.UTF-8"}});
        const Regional r = Regional::system();
        EXPECT_EQ(r.decimalSign, U',');
        EXPECT_EQ(r.dateOrder, DateOrder::MonthDayYear);
    }
    {
        const LocaleEnvironment env({{"LC_ALL", "C"}, {"LC_NUMERIC", "en_US.UTF-8"}, {"LANG", "en_US.UTF-8"}});
        EXPECT_EQ(Regional::system().decimalSign, U',');  // LC_ALL comes first
    }
    {
        const LocaleEnvironment env({});
        EXPECT_EQ(Regional::system().decimalSign, U',');
    }
}

TEST(RegionalDates, TheDefaultDateOfAnyLocaleReadsBack)
{
    // The default dates are written in the short form and read back by the
    // same run, whatever marks the locale's own format puts around its fields.
    using namespace std::chrono;
    const year_month_day day = year{2026} / December / 7;
    for (const char* name : {"it_IT", "en_US", "en_GB", "de_DE", "fr_FR", "hu_HU", "ko_KR", "ja_JP", "zh_CN",
                             "ar_SA", "ar_EG", "fa_IR", "he_IL", "bg_BG", "nl_NL", "sv_SE", "lt_LT"}) {
        const auto r = Regional::fromLocaleName(name);
        ASSERT_TRUE(r.has_value()) << name;
        EXPECT_EQ(r->parseDate(r->formatDate(day)), day) << name << ": " << r->formatDate(day);
    }
}

}  // namespace
}  // namespace crv
