// Number fields: plain digits, comma grouping in a fixed width, the dot
// leader of a directory size, and numbers too wide for their field.
#include <cstdint>
#include <cstring>
#include <string>

#include "report/report.h"
#include "tests/unit/fixture.h"

namespace {

std::string grouped(const char *digits, int width) { return formatGrouped(digits, width); }

std::string dotted(const char *digits) {
    char *field = formatGrouped(digits, 14);
    dotFillNumber(field);
    return field;
}

std::string digitsOf(uint64_t value) {
    char digits[21];
    u64Digits(value, digits);
    return digits;
}

}  // namespace

TEST_F(FolmarTest, DigitsAreUnsignedDecimalWithoutLeadingZeros) {
    EXPECT_EQ(digitsOf(0), "0");
    EXPECT_EQ(digitsOf(7), "7");
    EXPECT_EQ(digitsOf(1000), "1000");
    EXPECT_EQ(digitsOf(4294967296ULL), "4294967296");
    EXPECT_EQ(digitsOf(UINT64_MAX), "18446744073709551615");
}

TEST_F(FolmarTest, GroupedFieldIsRightJustifiedWithCommasEveryThreeDigits) {
    EXPECT_EQ(grouped("1234", 14), "         1,234");
    EXPECT_EQ(grouped("0", 14), "             0");
    EXPECT_EQ(grouped("4294967295", 14), " 4,294,967,295");
    EXPECT_EQ(grouped("999", 14), "           999");
    EXPECT_EQ(grouped("1000", 14), "         1,000");
    EXPECT_EQ(grouped("100000", 14), "       100,000");
    EXPECT_EQ(grouped("1000000", 14), "     1,000,000");
    EXPECT_EQ(grouped("99999999999", 14), "99,999,999,999");
    EXPECT_EQ(grouped("1234", 15), "          1,234");
    EXPECT_EQ(grouped("12345678901", 16), "  12,345,678,901");
}

TEST_F(FolmarTest, MinusSignStartsAGroupWithoutAComma) {
    EXPECT_EQ(grouped("-1234567", 14), "    -1,234,567");
    EXPECT_EQ(grouped("-123456", 14), "      -123,456");
    EXPECT_EQ(grouped("1234-5678", 14), "   12,34-5,678");
}

TEST_F(FolmarTest, EmptyDigitsGiveABlankField) {
    EXPECT_EQ(grouped("", 14), "              ");
    EXPECT_EQ(dotted(""), "............  ");
}

TEST_F(FolmarTest, EveryCallReusesTheOneFieldBuffer) {
    char *first = formatGrouped("1234", 14);
    char *second = formatGrouped("5", 15);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "              5");
}

TEST_F(FolmarTest, DotLeaderKeepsOneBlankBeforeTheNumber) {
    EXPECT_EQ(dotted("1234"), "........ 1,234");
    EXPECT_EQ(dotted("0"), "............ 0");
    EXPECT_EQ(dotted("4294967295"), " 4,294,967,295");
    EXPECT_EQ(dotted("99999999999"), "99,999,999,999");
}

TEST_F(FolmarTest, NumberTooWideForCommasIsShownWithPlainDigits) {
    EXPECT_EQ(grouped("100000000000", 14), "  100000000000");
    EXPECT_EQ(dotted("100000000000"), ". 100000000000");
    EXPECT_EQ(grouped("99999999999999", 14), "99999999999999");
    EXPECT_EQ(grouped("1000000000000", 15), "  1000000000000");
    EXPECT_EQ(grouped("1000000000000", 16), "   1000000000000");
    EXPECT_EQ(grouped("999999999999999", 15), "999999999999999");
}

TEST_F(FolmarTest, NumberTooWideForItsFieldIsShownAsStars) {
    EXPECT_EQ(grouped("100000000000000", 14), "**************");
    EXPECT_EQ(dotted("100000000000000"), "**************");
    EXPECT_EQ(grouped("18446744073709551615", 16), "****************");
    EXPECT_EQ(grouped("18446744073709551615", 20), "18446744073709551615");
}

TEST_F(FolmarTest, FieldNeverGrowsPastItsBuffer) {
    char longDigits[201];
    std::memset(longDigits, '9', 200);
    longDigits[200] = 0;
    EXPECT_EQ(grouped(longDigits, 14), std::string(14, '*'));
    EXPECT_EQ(std::strlen(formatGrouped("1234", 400)), 47u);
    EXPECT_EQ(grouped("1234", 0), "");
    EXPECT_EQ(grouped("1234", -3), "");
}
