// Number fields: plain digits, comma grouping in a fixed width, the dot
// leader of a directory size, and numbers too wide for their field.
#include "report/report.h"
#include "tests/unit/fixture.h"

TEST_F(FolmarTest, DigitsAreUnsignedDecimalWithoutLeadingZeros) {
    char digits[21];
    for (uint64_t value : {0ull, 1000ull, 4294967296ull, 18446744073709551615ull}) {
        u64Digits(value, digits);
        EXPECT_EQ(digits, std::to_string(value));
    }
}

// Each row: the digits, the width, the grouped field and, where given, the
// field after dotFillNumber.
TEST_F(FolmarTest, GroupedFieldsAndTheirDotLeaders) {
    struct Case { const char *digits; int width; const char *grouped, *dotted; };
    const Case cases[] = {
        {"1234", 14, "         1,234", "........ 1,234"}, {"0", 14, "             0", "............ 0"},
        {"4294967295", 14, " 4,294,967,295", " 4,294,967,295"}, {"99999999999", 14, "99,999,999,999", "99,999,999,999"},
        {"999", 14, "           999", nullptr}, {"1000", 14, "         1,000", nullptr},
        {"100000", 14, "       100,000", nullptr}, {"1000000", 14, "     1,000,000", nullptr},
        {"1234", 15, "          1,234", nullptr}, {"12345678901", 16, "  12,345,678,901", nullptr},
        {"", 14, "              ", "............  "},
        // A minus sign starts a group of its own, without a comma after it.
        {"-1234567", 14, "    -1,234,567", nullptr}, {"-123456", 14, "      -123,456", nullptr},
        {"1234-5678", 14, "   12,34-5,678", nullptr},
        // Too wide for the commas: plain digits; too wide at all: stars.
        {"100000000000", 14, "  100000000000", ". 100000000000"}, {"99999999999999", 14, "99999999999999", nullptr},
        {"1000000000000", 15, "  1000000000000", nullptr}, {"1000000000000", 16, "   1000000000000", nullptr},
        {"999999999999999", 15, "999999999999999", nullptr},
        {"100000000000000", 14, "**************", "**************"},
        {"18446744073709551615", 16, "****************", nullptr},
        {"18446744073709551615", 20, "18446744073709551615", nullptr},
        {"1234", 0, "", nullptr}, {"1234", -3, "", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("'") + c.digits + "' in " + std::to_string(c.width));
        EXPECT_STREQ(formatGrouped(c.digits, c.width), c.grouped);
        if (c.dotted == nullptr) continue;
        char *field = formatGrouped(c.digits, c.width);
        dotFillNumber(field);
        EXPECT_STREQ(field, c.dotted);
    }
}

TEST_F(FolmarTest, EveryCallReusesTheOneFieldBufferAndNeverOutgrowsIt) {
    char *first = formatGrouped("1234", 14);
    char *second = formatGrouped("5", 15);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "              5");
    std::string longDigits(200, '9');
    EXPECT_EQ(std::string(formatGrouped(longDigits.c_str(), 14)), std::string(14, '*'));
    EXPECT_EQ(std::strlen(formatGrouped("1234", 400)), 47u);
}
