#include "ui/picture.h"

#include <gtest/gtest.h>

#include "data/dates.h"
#include "data/decimal.h"

namespace {

using mg::Decimal;
namespace pic = mg::picture;
namespace dates = mg::dates;

Decimal dec(const char* text) { return *Decimal::parse(text); }

TEST(PictureParse, NumberPicturesOfTheProgram) {
    const auto track = pic::parsePicture("@n-14");
    ASSERT_TRUE(track);
    EXPECT_EQ(track->kind, pic::Kind::Number);
    EXPECT_EQ(track->width, 14);
    EXPECT_EQ(track->decimals, 0);
    EXPECT_TRUE(track->minus);
    EXPECT_FALSE(track->grouping);
    EXPECT_FALSE(track->zeroPad);

    const auto amount = pic::parsePicture("n-26.2");  // '@' is optional
    ASSERT_TRUE(amount);
    EXPECT_EQ(amount->width, 26);
    EXPECT_EQ(amount->decimals, 2);
    EXPECT_TRUE(amount->grouping);

    const auto charge = pic::parsePicture("@n8.2");
    ASSERT_TRUE(charge);
    EXPECT_FALSE(charge->minus);
    EXPECT_TRUE(charge->grouping);

    const auto across = pic::parsePicture("N2");
    ASSERT_TRUE(across);
    EXPECT_TRUE(across->zeroPad);
    EXPECT_FALSE(across->grouping);
    EXPECT_EQ(across->width, 2);

    const auto blank = pic::parsePicture("@n5b");
    ASSERT_TRUE(blank);
    EXPECT_TRUE(blank->blankWhenZero);
}

TEST(PictureParse, OtherKindsAndRejects) {
    EXPECT_EQ(pic::parsePicture("@s255")->kind, pic::Kind::Text);
    EXPECT_EQ(pic::parsePicture("@s255")->width, 255);
    EXPECT_EQ(pic::parsePicture("s2b")->width, 2);
    EXPECT_EQ(pic::parsePicture("@d17")->kind, pic::Kind::Date);
    EXPECT_EQ(pic::parsePicture("D17")->kind, pic::Kind::Date);
    EXPECT_EQ(pic::parsePicture("@t7")->kind, pic::Kind::Time);
    EXPECT_EQ(pic::parsePicture("T7")->kind, pic::Kind::Time);
    const auto page = pic::parsePicture("pPage <<#p");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->kind, pic::Kind::Pattern);
    EXPECT_EQ(page->width, 3);
    EXPECT_EQ(page->pattern, "Page <<#");

    for (const char* bad : {"", "@", "@n", "@n-", "@n0", "@n8.", "@n8.2x", "@nx", "@s", "@sx",
                            "@d", "@q5", "@n8.19", "pPage", "pxxp", "@n-14-"}) {
        EXPECT_FALSE(pic::parsePicture(bad)) << bad;
    }
}

TEST(PictureNumber, WholeNumbersAreRightAlignedWithoutGrouping) {
    EXPECT_EQ(pic::format(104233, "@n-14"), "        104233");
    EXPECT_EQ(pic::format(-5, "@n-14"), "            -5");
    EXPECT_EQ(pic::format(0, "@n-14"), "             0");  // zero is shown, not blanked
    EXPECT_EQ(pic::format(12345678901234LL, "@n-14"), "12345678901234");
    EXPECT_EQ(pic::format(123456789012345LL, "@n-14"), "##############");
    EXPECT_EQ(pic::format(-1234567890123LL, "@n-14"), "-1234567890123");
    EXPECT_EQ(pic::format(-12345678901234LL, "@n-14"), "##############");
    EXPECT_EQ(pic::format(98765, "@n20"), std::string(15, ' ') + "98765");
    EXPECT_EQ(pic::format(12, "@n4"), "  12");
    EXPECT_EQ(pic::format(12345, "@n4"), "####");
    EXPECT_EQ(pic::format(3, "@n5"), "    3");
}

TEST(PictureNumber, UpperCaseNPadsWithZeros) {
    EXPECT_EQ(pic::format(7, "@N2"), "07");
    EXPECT_EQ(pic::format(10, "@N2"), "10");
    EXPECT_EQ(pic::format(100, "@N2"), "##");
    EXPECT_EQ(pic::format(-7, "@N3"), "-07");
    EXPECT_EQ(pic::formatNumber(dec("1234.5"), "@N9.2"), "001234.50");  // no grouping
}

TEST(PictureNumber, AmountsGroupThousandsAndRound) {
    EXPECT_EQ(pic::formatNumber(dec("1234.56"), "@n8.2"), "1,234.56");
    EXPECT_EQ(pic::formatNumber(dec("12.5"), "@n8.2"), "   12.50");
    EXPECT_EQ(pic::formatNumber(dec("0"), "@n8.2"), "    0.00");
    EXPECT_EQ(pic::formatNumber(dec("1234567.89"), "@n-26.2"),
              std::string(14, ' ') + "1,234,567.89");
    EXPECT_EQ(pic::formatNumber(dec("-1234567.89"), "@n-26.2"),
              std::string(13, ' ') + "-1,234,567.89");
    EXPECT_EQ(pic::formatNumber(dec("-999.99"), "@n-10.2"), "   -999.99");
    EXPECT_EQ(pic::formatNumber(dec("100"), "@n-10.2"), "    100.00");
    EXPECT_EQ(pic::formatNumber(dec("999"), "@n-10.2"), "    999.00");
    EXPECT_EQ(pic::formatNumber(dec("1000"), "@n-10.2"), "  1,000.00");
    // Half away from zero, both signs.
    EXPECT_EQ(pic::formatNumber(dec("2.345"), "@n-10.2"), "      2.35");
    EXPECT_EQ(pic::formatNumber(dec("-2.345"), "@n-10.2"), "     -2.35");
    EXPECT_EQ(pic::formatNumber(dec("2.344"), "@n-10.2"), "      2.34");
    // A value that rounds to zero shows no minus.
    EXPECT_EQ(pic::formatNumber(dec("-0.001"), "@n-10.2"), "      0.00");
    EXPECT_EQ(pic::formatNumber(dec("-0.4"), "@n-14"), "             0");
    EXPECT_EQ(pic::formatNumber(dec("2.5"), "@n-14"), "             3");
}

TEST(PictureNumber, NegativesKeepTheirSignEvenWithoutTheMinusFlag) {
    EXPECT_EQ(pic::formatNumber(dec("-12.5"), "@n8.2"), "  -12.50");
    EXPECT_EQ(pic::format(-3, "@n4"), "  -3");
}

// One rule for every value through a picture: pictures with places group thousands for
// every value and sign, whole-number pictures never group, and a value that does not fit the
// picture as it shows it fills the field with '#'. A column of amounts is never a mix of
// grouped and ungrouped texts.
TEST(PictureNumber, GroupingIsTheSameForEveryValueOfAPicture) {
    const char* const pictures[] = {"@n8.2", "@n-10.2", "@n9.2", "@n-14", "@n6", "@N9.2", "@n8.2b"};
    struct Row {
        const char* value;
        const char* shown[7];  // in the order of `pictures`
    };
    const Row rows[] = {
        {"0", {"    0.00", "      0.00", "     0.00", "             0", "     0", "000000.00", ""}},
        {"12.5", {"   12.50", "     12.50", "    12.50", "            13", "    13", "000012.50", "   12.50"}},
        {"-12.5", {"  -12.50", "    -12.50", "   -12.50", "           -13", "   -13", "-00012.50", "  -12.50"}},
        {"999.99", {"  999.99", "    999.99", "   999.99", "          1000", "  1000", "000999.99", "  999.99"}},
        {"-999.99", {" -999.99", "   -999.99", "  -999.99", "         -1000", " -1000", "-00999.99", " -999.99"}},
        {"1234.56", {"1,234.56", "  1,234.56", " 1,234.56", "          1235", "  1235", "001234.56", "1,234.56"}},
        {"-1234.56", {"########", " -1,234.56", "-1,234.56", "         -1235", " -1235", "-01234.56", "########"}},
        {"12345.67", {"########", " 12,345.67", "12,345.67", "         12346", " 12346", "012345.67", "########"}},
        {"-12345.67", {"########", "-12,345.67", "#########", "        -12346", "-12346", "-12345.67", "########"}},
        {"123456.78", {"########", "123,456.78", "#########", "        123457", "123457", "123456.78", "########"}},
        {"-123456.78", {"########", "##########", "#########", "       -123457", "######", "#########", "########"}},
        {"9999.995", {"########", " 10,000.00", "10,000.00", "         10000", " 10000", "010000.00", "########"}},
        {"-0.001", {"    0.00", "      0.00", "     0.00", "             0", "     0", "000000.00", ""}},
    };
    for (const Row& r : rows) {
        for (size_t i = 0; i < std::size(pictures); ++i) {
            const std::string shown = pic::formatNumber(dec(r.value), pictures[i]);
            EXPECT_EQ(shown, r.shown[i]) << r.value << " through " << pictures[i];
            // What is shown is what can be typed back, and only that.
            const auto typed = pic::parseNumber(r.value, pictures[i]);
            if (shown.find('#') != std::string::npos) {
                EXPECT_FALSE(typed) << r.value << " typed into " << pictures[i];
            } else {
                ASSERT_TRUE(typed) << r.value << " typed into " << pictures[i];
                if (!shown.empty()) {
                    EXPECT_EQ(pic::formatNumber(*pic::parseNumber(shown, pictures[i]), pictures[i]), shown);
                }
            }
        }
    }
}

TEST(PictureNumber, BlankWhenZero) {
    EXPECT_EQ(pic::format(0, "@n5b"), "");
    EXPECT_EQ(pic::format(4, "@n5b"), "    4");
    EXPECT_EQ(pic::formatNumber(dec("0.001"), "@n8.2b"), "");
}

TEST(PictureNumber, PatternPictures) {
    EXPECT_EQ(pic::format(7, "pPage <<#p"), "Page   7");
    EXPECT_EQ(pic::format(123, "pPage <<#p"), "Page 123");
    EXPECT_EQ(pic::format(0, "pPage <<#p"), "Page   0");
    EXPECT_EQ(pic::format(1234, "pPage <<#p"), "Page ###");
    EXPECT_EQ(pic::format(-1, "pPage <<#p"), "Page ###");
    EXPECT_EQ(pic::format(5, "p##p"), "05");
}

TEST(PictureNumber, NotAPictureGivesThePlainValue) {
    EXPECT_EQ(pic::format(42, "@x9"), "42");
    EXPECT_EQ(pic::formatNumber(dec("12.50"), "junk"), "12.5");
}

TEST(PictureParseNumber, AcceptsWhatAUserTypes) {
    const auto is = [](const char* typed, const char* picture, const char* expected) {
        const auto v = pic::parseNumber(typed, picture);
        ASSERT_TRUE(v) << typed;
        EXPECT_EQ(*v, dec(expected)) << typed;
    };
    is("104233", "@n-14", "104233");
    is("   104233  ", "@n-14", "104233");
    is("-5", "@n-14", "-5");
    is("5-", "@n-14", "-5");
    is("- 5", "@n-14", "-5");
    is("+5", "@n-14", "5");
    is("1,234.56", "@n-10.2", "1234.56");
    is("1,234,567.5", "@n-26.2", "1234567.50");
    is("-1,234.56", "@n-10.2", "-1234.56");
    is("1,234.56-", "@n-10.2", "-1234.56");
    is(".5", "@n-10.2", "0.50");
    is("5.", "@n-10.2", "5.00");
    is("2.345", "@n-10.2", "2.35");  // rounded to the picture's places
    is("-2.345", "@n-10.2", "-2.35");
    is("", "@n-10.2", "0");
    is("   ", "@n4", "0");
    is("7", "@N2", "7");
    is("12", "pPage <<#p", "12");
    // What is typed may be wider than what is shown, as long as the value fits as shown.
    is("  1,234.560 ", "@n8.2", "1234.56");
    // The places of the result are the picture's.
    EXPECT_EQ(pic::parseNumber("12.5", "@n-10.2")->toString(), "12.5");
    EXPECT_EQ(pic::parseNumber("12.5", "@n-10.2")->scale(), 2);
}

TEST(PictureParseNumber, RefusesWhatIsNotANumberOrDoesNotFit) {
    for (const char* bad : {"abc", "12a", "1 234", "1,5", "12,34.5", ",123", "1,,234", "1,234,",
                            "1.2.3", "--5", "-5-", "+-5", "5+", ".", "-", "1e3", "$5", "(5)",
                            "0x10"}) {
        EXPECT_FALSE(pic::parseNumber(bad, "@n-26.2")) << bad;
    }
    EXPECT_FALSE(pic::parseNumber("123456", "@n4"));
    EXPECT_FALSE(pic::parseNumber("123456789012345", "@n-14"));
    EXPECT_FALSE(pic::parseNumber("123456.78", "@n8.2"));
    EXPECT_FALSE(pic::parseNumber("12345.67", "@n8.2"));  // would show as 12,345.67
    EXPECT_FALSE(pic::parseNumber("99999.995", "@n8.2"));  // rounds to a ninth character
    EXPECT_FALSE(pic::parseNumber("1234", "pPage <<#p"));
    EXPECT_FALSE(pic::parseNumber("-1", "pPage <<#p"));
    EXPECT_FALSE(pic::parseNumber("12", "@s10"));  // not a number picture
    EXPECT_FALSE(pic::parseNumber("12", "@zz"));
    EXPECT_FALSE(pic::parseNumber(std::string(40, '9'), "@n-255"));  // beyond any decimal
}

TEST(PictureText, CutsToTheWidth) {
    EXPECT_EQ(pic::formatText("OUTLAYDOC-LONG", "@s10"), "OUTLAYDOC-");
    EXPECT_EQ(pic::formatText("ABC", "@s10"), "ABC");  // not padded
    EXPECT_EQ(pic::formatText("", "s2b"), "");
    EXPECT_EQ(pic::parseText("ABCDE", "@s4"), "ABCD");
    EXPECT_EQ(pic::formatText("text", "@n-14"), "text");  // not a text picture: unchanged
    // Characters, not bytes: "é" and "€" are never split.
    EXPECT_EQ(pic::formatText("Caf\xC3\xA9 au lait", "@s4"), "Caf\xC3\xA9");
    EXPECT_EQ(pic::formatText("\xE2\x82\xAC" "100", "@s2"), "\xE2\x82\xAC" "1");
    EXPECT_EQ(pic::format(1234567, "@s4"), "1234");
}

TEST(PictureDate, ShortDateIsDayFirst) {
    const int32_t day = dates::dateFromMDY(2, 9, 2015);
    EXPECT_EQ(pic::formatDate(day), "09/02/2015");
    EXPECT_EQ(pic::format(day, "@d17"), "09/02/2015");
    EXPECT_EQ(pic::format(day, "D17"), "09/02/2015");
    EXPECT_EQ(pic::formatDate(dates::dateFromMDY(12, 31, 1999)), "31/12/1999");
    EXPECT_EQ(pic::formatDate(dates::dateFromMDY(1, 1, 1801)), "01/01/1801");
    EXPECT_EQ(pic::formatDate(dates::kNoDate), "");
    EXPECT_EQ(pic::format(0, "@d17"), "");
}

TEST(PictureDate, TypedDates) {
    const int32_t day = dates::dateFromMDY(2, 9, 2015);
    EXPECT_EQ(pic::parseDate("9/2/2015"), day);
    EXPECT_EQ(pic::parseDate("09/02/2015"), day);
    EXPECT_EQ(pic::parseDate("9/2/15"), day);
    EXPECT_EQ(pic::parseDate(" 9-2-2015 "), day);
    EXPECT_EQ(pic::parseDate("9.2.2015"), day);
    EXPECT_EQ(pic::parseDate("29/2/2016"), dates::dateFromMDY(2, 29, 2016));
    EXPECT_EQ(pic::parseDate("1/1/49"), dates::dateFromMDY(1, 1, 2049));
    EXPECT_EQ(pic::parseDate("1/1/50"), dates::dateFromMDY(1, 1, 1950));
    EXPECT_EQ(pic::parseDate("1/1/00"), dates::dateFromMDY(1, 1, 2000));
    EXPECT_EQ(pic::parseDate(""), dates::kNoDate);
    // Round trip through the display form.
    EXPECT_EQ(pic::parseDate(pic::formatDate(day)), day);

    for (const char* bad : {"31/02/2015", "29/2/2015", "0/1/2015", "1/0/2015", "1/13/2015",
                            "32/1/2015", "1/1/1800", "1/1/215", "1/1/5", "2015-02-09x",
                            "9/2", "9/2/2015/1", "a/b/c", "9//2015", "009/02/2015", "9 /2/2015",
                            "today"}) {
        EXPECT_FALSE(pic::parseDate(bad)) << bad;
    }
}

TEST(PictureTime, ShortTimeIsTwentyFourHour) {
    EXPECT_EQ(pic::formatTime(dates::timeFromHMS(13, 5, 0)), "13:05");
    EXPECT_EQ(pic::formatTime(dates::timeFromHMS(13, 5, 59, 99)), "13:05");  // not rounded up
    EXPECT_EQ(pic::formatTime(dates::timeFromHMS(0, 0, 0)), "00:00");
    EXPECT_EQ(pic::formatTime(dates::timeFromHMS(23, 59, 59, 99)), "23:59");
    EXPECT_EQ(pic::format(dates::timeFromHMS(9, 30, 0), "@t7"), "09:30");
    EXPECT_EQ(pic::formatTime(dates::kNoTime), "");
}

TEST(PictureTime, TypedTimes) {
    EXPECT_EQ(pic::parseTime("13:05"), dates::timeFromHMS(13, 5, 0));
    EXPECT_EQ(pic::parseTime("1:05"), dates::timeFromHMS(1, 5, 0));
    EXPECT_EQ(pic::parseTime(" 13:05:30 "), dates::timeFromHMS(13, 5, 30));
    EXPECT_EQ(pic::parseTime("00:00"), dates::timeFromHMS(0, 0, 0));  // midnight is a time
    EXPECT_NE(*pic::parseTime("00:00"), dates::kNoTime);
    EXPECT_EQ(pic::parseTime(""), dates::kNoTime);
    for (const char* bad : {"24:00", "12:60", "12:30:60", "12:5", "123:00", "12", "12:00:00:00",
                            "ab:cd", "12:3a", "-1:00", "12:00:5"}) {
        EXPECT_FALSE(pic::parseTime(bad)) << bad;
    }
}

}  // namespace
