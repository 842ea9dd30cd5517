#include "ui/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace NumberText;

TEST(NumberTextTest, WholeNumbersAreTruncatedTowardZero)
{
    EXPECT_EQ(wholeText(41.9), "41");
    EXPECT_EQ(wholeText(-3.7), "-3");
    EXPECT_EQ(wholeText(-0.4), "0");
    EXPECT_EQ(whole(-9223372036854775808.0), std::numeric_limits<long long>::min());
}

TEST(NumberTextTest, NonFiniteAndOutOfRangeFiguresPrintTheDash)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double v : {nan, inf, -inf, 9223372036854775808.0, -9223372036854777856.0, 1e300}) {
        EXPECT_EQ(wholeText(v), "—") << v;
        EXPECT_FALSE(whole(v).has_value()) << v;
    }
    EXPECT_EQ(numberText("%.0f%%", nan), "—");
    EXPECT_EQ(numberText("%.2f GB", inf), "—");
    EXPECT_EQ(numberText("%.2f GB", -1e300), "—");
}

TEST(NumberTextTest, PatternsRoundAndAlwaysUseADecimalPoint)
{
    setlocale(LC_NUMERIC, "de_DE.UTF-8"); // where installed, a comma locale; harmless otherwise
    EXPECT_EQ(numberText("%.0f%%", 37.6), "38%");
    EXPECT_EQ(numberText("%.2f GB", 1.5), "1.50 GB");
    setlocale(LC_NUMERIC, "C");
}

// A size never reads as nothing unless it is nothing: below a tenth of a gigabyte in megabytes (of 2^20
// bytes, as 2^30 make the gigabyte), below a tenth of a megabyte in kilobytes, below a kilobyte in bytes.
TEST(NumberTextTest, SizesBelowATenthOfAGigabyteAreWrittenInSmallerUnits)
{
    EXPECT_EQ(sizeText(0), "0.0 GB");
    EXPECT_EQ(sizeText(12.34), "12.3 GB");
    EXPECT_EQ(sizeText(0.1), "0.1 GB");
    EXPECT_EQ(sizeText(40e6 / 1073741824), "38.1 MB");
    EXPECT_EQ(sizeText(0.0999), "102.3 MB");
    EXPECT_EQ(sizeText(40e3 / 1073741824), "39 KB");
    EXPECT_EQ(sizeText(512.0 / 1073741824), "512 bytes");
    EXPECT_EQ(sizeText(40e6 / 1073741824, SizeUnit::joined), "38.1MB");
    EXPECT_EQ(sizeText(40e6 / 1073741824, SizeUnit::letter), "38.1M");
    EXPECT_EQ(sizeText(2, SizeUnit::letter), "2.0G");
    EXPECT_EQ(sizeText(std::numeric_limits<double>::quiet_NaN()), "—");
    EXPECT_EQ(sizeText(-std::numeric_limits<double>::infinity()), "—");
}
