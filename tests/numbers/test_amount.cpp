// Amounts and regional settings: the two conversions from text, the three
// text forms, and the short dates typed in the parameter boxes.
#include <gtest/gtest.h>

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
    EXPECT_FALSE(Amount::parseRegional("922337203685477,5808", it).has_value());
    EXPECT_FALSE(Amount::parseRegional("99999999999999999999999", it).has_value());
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

TEST(RegionalSystem, FollowsTheLocaleOfTheEnvironment)
{
    // The Italian locale need not be generated on the machine.
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    setenv("LC_ALL", "it_IT.UTF-8", 1);
    const Regional sys = Regional::system();
    if (old) setenv("LC_ALL", saved.c_str(), 1); else unsetenv("LC_ALL");
    EXPECT_EQ(sys.decimalSign, U',');
    EXPECT_EQ(sys.groupSign, U'.');
    EXPECT_EQ(sys.dateOrder, DateOrder::DayMonthYear);
    EXPECT_EQ(sys.dateSeparator, U'/');
}

}  // namespace
}  // namespace crv
