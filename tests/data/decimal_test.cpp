#include "data/decimal.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace mg {
namespace {

Decimal dec(const char* text) {
    auto d = Decimal::parse(text);
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal{});
}

__int128 pow10(int n) {
    __int128 r = 1;
    while (n-- > 0) r *= 10;
    return r;
}

const __int128 kMaxMantissa = pow10(Decimal::kMaxDigits) - 1;

// ---- Parsing -------------------------------------------------------------------------

TEST(DecimalParse, PlainForms) {
    struct Case {
        const char* text;
        __int128 mantissa;
        int scale;
    } cases[] = {
        {"12.5", 125, 1},   {"-0.01", -1, 2},  {"  7 ", 7, 0},     {".5", 5, 1},
        {"5.", 5, 0},       {"+3.25", 325, 2}, {"0012.50", 1250, 2}, {"-.75", -75, 2},
        {"\t42\r\n", 42, 0}, {"0.787564", 787564, 6}, {"99999999999999999.99", __int128(9999999999999999999ULL), 2},
    };
    for (const auto& c : cases) {
        auto d = Decimal::parse(c.text);
        ASSERT_TRUE(d.has_value()) << c.text;
        EXPECT_TRUE(d->mantissa() == c.mantissa) << c.text;
        EXPECT_EQ(d->scale(), c.scale) << c.text;
    }
}

TEST(DecimalParse, EmptyAndBlankAreZero) {
    for (const char* text : {"", "   ", "\t"}) {
        auto d = Decimal::parse(text);
        ASSERT_TRUE(d.has_value()) << '"' << text << '"';
        EXPECT_TRUE(d->isZero());
    }
    EXPECT_TRUE(dec("-0").isZero());
    EXPECT_FALSE(dec("-0").isNegative());
    EXPECT_EQ(dec("0.00").toString(2), "0.00");
}

TEST(DecimalParse, ExponentFormsAsSqliteRendersReals) {
    EXPECT_EQ(dec("1.0e+15").toString(), "1000000000000000");
    EXPECT_EQ(dec("1.5e3").toString(), "1500");
    EXPECT_EQ(dec("1.5E3").toString(), "1500");
    EXPECT_EQ(dec("2.5e-3").toString(), "0.0025");
    EXPECT_EQ(dec("-1.25e1").toString(), "-12.5");
    EXPECT_EQ(dec("12e0").toString(), "12");
    EXPECT_EQ(dec("0e99999").toString(), "0");
    EXPECT_EQ(dec("1e-400").toString(), "0");
}

TEST(DecimalParse, MoreThanEighteenPlacesRoundHalfAwayFromZero) {
    Decimal d = dec("0.1234567890123456785");  // 19 places
    EXPECT_EQ(d.scale(), 18);
    EXPECT_EQ(d.toString(), "0.123456789012345679");
    EXPECT_EQ(dec("-0.0000000000000000005").toString(18), "-0.000000000000000001");
    EXPECT_EQ(dec("0.0000000000000000004").toString(), "0");
    EXPECT_EQ(dec("5e-19").toString(), "0.000000000000000001");
}

TEST(DecimalParse, InvalidTextGivesNothing) {
    for (const char* text : {"abc", "1.2.3", "12a", "-", "+", ".", "1e", "1e+", "e5", "--1",
                             "1,000", "1 000", "- 5", "0x10", "nan", "inf", "1.5e3x", "$5"}) {
        EXPECT_FALSE(Decimal::parse(text).has_value()) << text;
    }
}

TEST(DecimalParse, BeyondThirtySixDigitsGivesNothing) {
    EXPECT_TRUE(Decimal::parse(std::string(36, '9')).has_value());
    EXPECT_FALSE(Decimal::parse(std::string(37, '9')).has_value());
    EXPECT_FALSE(Decimal::parse("1e36").has_value());
    EXPECT_FALSE(Decimal::parse("1e300").has_value());
    EXPECT_TRUE(Decimal::parse("1e35").has_value());
}

// ---- Text ----------------------------------------------------------------------------

TEST(DecimalText, FixedPlaces) {
    EXPECT_EQ(dec("12.5").toString(2), "12.50");
    EXPECT_EQ(dec("-0.01").toString(2), "-0.01");
    EXPECT_EQ(Decimal(0).toString(0), "0");
    EXPECT_EQ(Decimal(0).toString(2), "0.00");
    EXPECT_EQ(dec("2.345").toString(2), "2.35");
    EXPECT_EQ(dec("-2.345").toString(2), "-2.35");
    EXPECT_EQ(dec("1234.5").toString(0), "1235");
    EXPECT_EQ(dec("0.4").toString(0), "0");
    // A small negative that rounds to zero prints without a sign.
    EXPECT_EQ(dec("-0.004").toString(2), "0.00");
    EXPECT_EQ(Decimal(-7).toString(2), "-7.00");
}

TEST(DecimalText, OwnScaleWithoutTrailingZeros) {
    EXPECT_EQ(dec("12.50").toString(), "12.5");
    EXPECT_EQ(dec("3.000").toString(), "3");
    EXPECT_EQ(dec("100").toString(), "100");
    EXPECT_EQ(dec("-0.050").toString(), "-0.05");
    EXPECT_EQ(Decimal(std::numeric_limits<long long>::min()).toString(), "-9223372036854775808");
}

TEST(DecimalText, RoundTripsThroughParse) {
    for (const char* text : {"0", "1", "-1", "0.01", "-123456789012345.67", "99999999999999999.99",
                             "0.787564", "123456789012345678901234567890.123456"}) {
        EXPECT_EQ(dec(text).toString(), text);
    }
}

// ---- Rounding ------------------------------------------------------------------------

TEST(DecimalRound, HalfAwayFromZero) {
    struct Case {
        const char* in;
        int places;
        const char* out;
    } cases[] = {
        {"2.345", 2, "2.35"},   {"-2.345", 2, "-2.35"}, {"0.005", 2, "0.01"},
        {"-0.005", 2, "-0.01"}, {"0.0049999", 2, "0"},  {"2.344", 2, "2.34"},
        {"0.5", 0, "1"},        {"-0.5", 0, "-1"},      {"1.4999", 0, "1"},
        {"9.995", 2, "10"},     {"-9.995", 2, "-10"},   {"12.5", 5, "12.5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dec(c.in).roundTo(c.places).toString(), c.out) << c.in << " to " << c.places;
    }
}

TEST(DecimalRound, ScaleFollowsPlaces) {
    EXPECT_EQ(dec("2.345").roundTo(2).scale(), 2);
    EXPECT_EQ(dec("2.3").roundTo(4).scale(), 4);
    EXPECT_TRUE(dec("2.3").roundTo(4).mantissa() == 23000);
    EXPECT_EQ(dec("2.3").roundTo(-1).scale(), 0);
    EXPECT_EQ(dec("2.3").roundTo(40).scale(), Decimal::kMaxScale);
}

TEST(DecimalRound, WholeNumberTruncatesTowardZero) {
    EXPECT_EQ(dec("12.99").toInt64(), 12);
    EXPECT_EQ(dec("-12.99").toInt64(), -12);
    EXPECT_EQ(dec("0.999").toInt64(), 0);
    EXPECT_EQ(dec("123456789012345").toInt64(), 123456789012345LL);
    EXPECT_EQ(dec("1e30").toInt64(), std::numeric_limits<long long>::max());
    EXPECT_EQ(dec("-1e30").toInt64(), std::numeric_limits<long long>::min());
}

// ---- Arithmetic ----------------------------------------------------------------------

TEST(DecimalArithmetic, AddAndSubtractAcrossScales) {
    EXPECT_EQ((dec("12.34") + dec("0.006")).toString(), "12.346");
    EXPECT_EQ((dec("12.34") + dec("0.006")).scale(), 3);
    EXPECT_EQ((dec("0.1") + dec("0.2")).toString(), "0.3");
    EXPECT_EQ((dec("1.00") - dec("1")).toString(2), "0.00");
    EXPECT_EQ((dec("5") - dec("7.25")).toString(), "-2.25");
    EXPECT_EQ((Decimal(3) - dec("-0.5")).toString(), "3.5");
    EXPECT_EQ((-dec("4.20")).toString(2), "-4.20");
    EXPECT_EQ((-Decimal(0)).toString(), "0");
}

TEST(DecimalArithmetic, OutstandingDebtFromThreeBalances) {
    // original debt + interest - collected, as money of decimal 13.2
    Decimal debt = dec("1500.00") + dec("37.45") - dec("1537.46");
    EXPECT_EQ(debt.toString(2), "-0.01");
    EXPECT_TRUE(debt.isNegative());
    Decimal sum;
    for (int i = 0; i < 10; ++i) sum = sum + dec("0.10");
    EXPECT_EQ(sum, Decimal(1));  // no binary drift
}

TEST(DecimalArithmetic, MultiplyIsExact) {
    Decimal product = dec("12.34") * dec("0.787564");
    EXPECT_EQ(product.scale(), 8);
    EXPECT_TRUE(product.mantissa() == 971853976);  // 9.71853976
    EXPECT_EQ(product.toString(2), "9.72");
    EXPECT_EQ((dec("-2.5") * dec("4")).toString(), "-10");
    EXPECT_EQ((dec("-2.5") * dec("-0.2")).toString(), "0.5");
    EXPECT_EQ((dec("9999999999.99") * dec("9999999999.99")).toString(),
              "99999999999800000000.0001");
}

TEST(DecimalArithmetic, ConversionFactorRoundsAtTwoPlaces) {
    // amount x 0.787564 kept to 2 places
    EXPECT_EQ((dec("100.00") * dec("0.787564")).roundTo(2).toString(2), "78.76");
    EXPECT_EQ((dec("0.01") * dec("0.787564")).roundTo(2).toString(2), "0.01");
    EXPECT_EQ((dec("1.27") * dec("0.787564")).roundTo(2).toString(2), "1.00");  // 1.00020628
    EXPECT_EQ((dec("-63.49") * dec("0.787564")).roundTo(2).toString(2), "-50.00");  // -50.00243836
    EXPECT_EQ((dec("0.635") * dec("1")).roundTo(2).toString(2), "0.64");
}

TEST(DecimalArithmetic, ProductScaleAboveEighteenRounds) {
    Decimal a = Decimal::fromMantissa(15, 10);  // 0.0000000015
    Decimal b = Decimal::fromMantissa(5, 10);   // 0.0000000005
    Decimal p = a * b;                          // 0.00000000000000000075 exactly
    EXPECT_EQ(p.scale(), 18);
    EXPECT_EQ(p.toString(), "0.000000000000000001");
    EXPECT_EQ((-a * b).toString(), "-0.000000000000000001");
    // A large scale-18 value times another is exact where the result fits, although the
    // raw mantissa product would not fit in 128 bits.
    Decimal third = Decimal::divide(Decimal(1), Decimal(3), 18);
    Decimal big = dec("100000.000000000000000000");
    EXPECT_EQ((third * big).toString(), "33333.3333333333333");
}

TEST(DecimalArithmetic, DivideRoundsHalfAwayFromZero) {
    EXPECT_EQ(Decimal::divide(Decimal(1), Decimal(3), 2).toString(2), "0.33");
    EXPECT_EQ(Decimal::divide(Decimal(2), Decimal(3), 2).toString(2), "0.67");
    EXPECT_EQ(Decimal::divide(Decimal(-2), Decimal(3), 2).toString(2), "-0.67");
    EXPECT_EQ(Decimal::divide(Decimal(2), Decimal(-3), 2).toString(2), "-0.67");
    EXPECT_EQ(Decimal::divide(Decimal(1), Decimal(8), 2).toString(2), "0.13");    // 0.125
    EXPECT_EQ(Decimal::divide(Decimal(-1), Decimal(8), 2).toString(2), "-0.13");
    EXPECT_EQ(Decimal::divide(dec("10.00"), dec("0.25"), 0).toString(), "40");
    EXPECT_EQ(Decimal::divide(dec("0.001"), Decimal(1000), 6).toString(), "0.000001");
    EXPECT_EQ(Decimal::divide(dec("0.001"), Decimal(1000), 5).toString(5), "0.00000");
    EXPECT_EQ(Decimal::divide(Decimal(7), Decimal(2), 0).scale(), 0);
    EXPECT_EQ(Decimal::divide(Decimal(7), Decimal(2), 0).toString(), "4");
}

TEST(DecimalArithmetic, DivideByZeroIsZero) {
    Decimal q = Decimal::divide(dec("12.5"), Decimal(0), 2);
    EXPECT_TRUE(q.isZero());
    EXPECT_EQ(q.toString(2), "0.00");
    EXPECT_TRUE(Decimal::divide(Decimal(0), Decimal(0), 0).isZero());
}

TEST(DecimalArithmetic, ProgressPercentTakenAsWholeNumber) {
    // processed / to process x 100, as a whole number
    auto percent = [](long long done, long long total) {
        return (Decimal::divide(Decimal(done), Decimal(total), Decimal::kMaxScale) * Decimal(100))
            .toInt64();
    };
    EXPECT_EQ(percent(1, 3), 33);
    EXPECT_EQ(percent(2, 3), 66);
    EXPECT_EQ(percent(999, 1000), 99);
    EXPECT_EQ(percent(1000, 1000), 100);
    EXPECT_EQ(percent(7, 7), 100);
}

TEST(DecimalArithmetic, HugeValuesSaturateInsteadOfWrapping) {
    Decimal max = Decimal::fromMantissa(kMaxMantissa, 0);
    EXPECT_TRUE((max + Decimal(1)).mantissa() == kMaxMantissa);
    EXPECT_TRUE((-max - Decimal(1)).mantissa() == -kMaxMantissa);
    EXPECT_TRUE((max * max).mantissa() == kMaxMantissa);
    EXPECT_TRUE((max * -max).mantissa() == -kMaxMantissa);
    EXPECT_TRUE(Decimal::divide(max, dec("0.000000000000000001"), 18).mantissa() == kMaxMantissa);
    // The most negative 128-bit mantissa is clamped before anything negates it.
    const __int128 lowest = static_cast<__int128>(static_cast<unsigned __int128>(1) << 127);
    Decimal low = Decimal::fromMantissa(lowest, 0);
    EXPECT_TRUE(low.mantissa() == -kMaxMantissa);
    EXPECT_TRUE((-low).mantissa() == kMaxMantissa);
    EXPECT_TRUE(Decimal::fromMantissa(std::numeric_limits<__int128>::max(), 2).mantissa() ==
                kMaxMantissa);
}

TEST(DecimalArithmetic, FromMantissaNormalisesScale) {
    Decimal d = Decimal::fromMantissa(12345, 20);  // 0.00000000000000012345
    EXPECT_EQ(d.scale(), 18);
    EXPECT_EQ(d.toString(), "0.000000000000000123");
    Decimal e = Decimal::fromMantissa(5, -2);
    EXPECT_EQ(e.scale(), 0);
    EXPECT_EQ(e.toString(), "500");
    EXPECT_TRUE(Decimal::fromMantissa(5, -100).mantissa() == kMaxMantissa);
    EXPECT_TRUE(Decimal::fromMantissa(5, 100).isZero());
    EXPECT_TRUE(Decimal::fromMantissa(0, std::numeric_limits<int>::min()).isZero());
}

// ---- Comparison ----------------------------------------------------------------------

TEST(DecimalCompare, AcrossScales) {
    EXPECT_EQ(dec("1.5"), dec("1.50"));
    EXPECT_EQ(dec("0"), dec("0.000"));
    EXPECT_EQ(dec("-0.000"), Decimal(0));
    EXPECT_NE(dec("1.5"), dec("1.51"));
    EXPECT_LT(dec("1.499"), dec("1.5"));
    EXPECT_GT(dec("2"), dec("1.999999999999999999"));
    EXPECT_LT(dec("-2"), dec("-1.999999999999999999"));
    EXPECT_LT(dec("-0.01"), Decimal(0));
    EXPECT_GT(Decimal(0), dec("-0.01"));
    EXPECT_LT(dec("-100"), dec("0.01"));
    EXPECT_TRUE((dec("12.30") <=> dec("12.3")) == 0);
}

TEST(DecimalCompare, DebtAgainstBandLimits) {
    // A debt exactly on a limit is not above it; one cent more is.
    Decimal limit = dec("2000.00");
    EXPECT_FALSE(dec("2000") > limit);
    EXPECT_TRUE(dec("2000") <= limit);
    EXPECT_TRUE(dec("2000.01") > limit);
    EXPECT_TRUE(dec("1999.999") < limit);
}

TEST(DecimalCompare, WholeIdsAsDecimals) {
    // tracking references and diary ids are decimal 15.0 / 17.0
    EXPECT_LT(dec("99999"), dec("100000"));
    EXPECT_GT(dec("123456789012345"), dec("123456789012344"));
    EXPECT_EQ(Decimal(123456789012345LL), dec("123456789012345"));
    EXPECT_TRUE(dec("123456789012345").fits(15, 0));
    EXPECT_FALSE(dec("1234567890123456").fits(15, 0));
    EXPECT_TRUE(dec("12345678901234567").fits(17, 0));
}

// ---- Column limits -------------------------------------------------------------------

TEST(DecimalFits, MoneyColumns) {
    EXPECT_TRUE(dec("99999999999999999.99").fits(19, 2));
    EXPECT_FALSE(dec("100000000000000000.00").fits(19, 2));
    EXPECT_FALSE(dec("99999999999999999.995").fits(19, 2));  // rounds up past the limit
    EXPECT_TRUE(dec("99999999999999999.994").fits(19, 2));
    EXPECT_TRUE(dec("-99999999999999999.99").fits(19, 2));
    EXPECT_FALSE(dec("-100000000000000000").fits(19, 2));

    EXPECT_TRUE(dec("99999.99").fits(7, 2));
    EXPECT_FALSE(dec("100000").fits(7, 2));
    EXPECT_FALSE(dec("99999.995").fits(7, 2));
    EXPECT_TRUE(dec("99999.994999").fits(7, 2));
    EXPECT_TRUE(dec("0.001").fits(7, 2));

    EXPECT_TRUE(dec("999999999999999.99").fits(17, 2));
    EXPECT_FALSE(dec("1000000000000000").fits(17, 2));
    EXPECT_TRUE(dec("99999999999.99").fits(13, 2));
    EXPECT_FALSE(dec("100000000000").fits(13, 2));
    EXPECT_TRUE(dec("999.999999").fits(9, 6));
    EXPECT_FALSE(dec("1000").fits(9, 6));
}

// ---- Doubles -------------------------------------------------------------------------

TEST(DecimalDouble, ShortestRoundTripText) {
    EXPECT_EQ(Decimal::fromDouble(12.5).toString(), "12.5");
    EXPECT_EQ(Decimal::fromDouble(0.1).toString(), "0.1");
    EXPECT_EQ(Decimal::fromDouble(0.1 + 0.2).toString(), "0.30000000000000004");
    EXPECT_EQ(Decimal::fromDouble(-1234.56).toString(2), "-1234.56");
    EXPECT_EQ(Decimal::fromDouble(1e15).toString(), "1000000000000000");
    EXPECT_EQ(Decimal::fromDouble(1.2345e-5).toString(), "0.000012345");
    EXPECT_EQ(Decimal::fromDouble(-0.0).toString(), "0");
    EXPECT_EQ(Decimal::fromDouble(1e-30).toString(), "0");
}

TEST(DecimalDouble, NonFiniteAndHugeValues) {
    EXPECT_TRUE(Decimal::fromDouble(std::numeric_limits<double>::quiet_NaN()).isZero());
    EXPECT_TRUE(Decimal::fromDouble(std::numeric_limits<double>::infinity()).isZero());
    EXPECT_TRUE(Decimal::fromDouble(1e300).mantissa() == kMaxMantissa);
    EXPECT_TRUE(Decimal::fromDouble(-1e300).mantissa() == -kMaxMantissa);
}

TEST(DecimalDouble, ToDouble) {
    EXPECT_DOUBLE_EQ(dec("12.5").toDouble(), 12.5);
    EXPECT_DOUBLE_EQ(dec("-0.01").toDouble(), -0.01);
    EXPECT_DOUBLE_EQ(dec("0.787564").toDouble(), 0.787564);
    EXPECT_DOUBLE_EQ(Decimal(0).toDouble(), 0.0);
}

}  // namespace
}  // namespace mg
