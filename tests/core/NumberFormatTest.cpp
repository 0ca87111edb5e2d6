#include "core/NumberFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <span>
#include <string>

namespace lmp {
namespace {

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

TEST(GroupThousands, PutsCommasBetweenGroupsOfDigitsOnly)
{
    struct Row {
        std::string_view input, expected;
    };
    const Row rows[] = {{"", ""},
                        {"7", "7"},
                        {"12", "12"},
                        {"999", "999"},
                        {"1000", "1,000"},
                        {"123456", "123,456"},
                        {"1234567", "1,234,567"},
                        {"1000000", "1,000,000"},
                        {"-1", "-1"},
                        {"-123", "-123"},
                        {"-1234", "-1,234"},
                        {"-123456", "-123,456"},
                        {"-1234567", "-1,234,567"}};
    for (const auto& row : rows)
        EXPECT_EQ(GroupThousands(row.input), row.expected) << row.input;
}

// The value rendered plainly, grouped, and as an amount of money in tenths.
TEST(IntegerRenderings, KeepTheSignInFrontAndMoneyTruncatesTenthsTowardZero)
{
    struct Row {
        std::int32_t value;
        std::string_view plain, grouped, money;
    };
    const Row rows[] = {{0, "0", "0", "0"},
                        {9, "9", "9", "0"},
                        {-9, "-9", "-9", "0"},
                        {10, "10", "10", "1"},
                        {-10, "-10", "-10", "-1"},
                        {15, "15", "15", "1"},
                        {-15, "-15", "-15", "-1"},
                        {-999, "-999", "-999", "-99"},
                        {-1000, "-1000", "-1,000", "-100"},
                        {12345, "12345", "12,345", "1,234"},
                        {-12345, "-12345", "-12,345", "-1,234"},
                        {65535, "65535", "65,535", "6,553"},
                        {123456789, "123456789", "123,456,789", "12,345,678"},
                        {kMax32, "2147483647", "2,147,483,647", "214,748,364"},
                        {kMin32, "-2147483648", "-2,147,483,648", "-214,748,364"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(PlainDecimal(row.value), row.plain);
        EXPECT_EQ(FormatGrouped(row.value), row.grouped);
        EXPECT_EQ(FormatMoney(row.value), row.money);
    }
}

TEST(FormatFeet, RoundsMetresTimes328ToTheNearestFoot)
{
    // By hand: 0, 3.28, 6.56, 9.84, 29.52, 52.48, 121.36, 124.64, 328, 1000.40, 3280, 10000.72, 214954.80.
    struct Row {
        std::uint16_t metres;
        std::string_view feet;
    };
    const Row rows[] = {{0, "0"},        {1, "3"},         {2, "7"},          {3, "10"},    {9, "30"},
                        {16, "52"},      {37, "121"},      {38, "125"},       {100, "328"}, {305, "1,000"},
                        {1000, "3,280"}, {3049, "10,001"}, {65535, "214,955"}};
    for (const auto& row : rows)
        EXPECT_EQ(FormatFeet(row.metres), row.feet) << row.metres;
}

// Read back through FormatFixed with room for every digit, so the representation does not matter.
// Above 2^26 single-precision reals are 8 apart; a halfway case goes to the even mantissa.
TEST(DecimalOfSingle, KeepsWhatASinglePrecisionRealHolds)
{
    struct Row {
        std::int32_t raw;
        int scale;
        std::string_view value;
    };
    const Row rows[] = {{0, 2, "0.00"},
                        {650, 2, "6.50"},
                        {255, 1, "25.50"},
                        {1234565, 2, "12345.65"},
                        {-650, 2, "-6.50"},
                        {-99999948, 2, "-999999.52"},
                        {16777217, 0, "16777216.00"}, // 2^24 + 1 has no single-precision real
                        {99999947, 2, "999999.44"},   // 12,499,993.375 eighths: down
                        {99999948, 2, "999999.52"},   // 12,499,993.5 eighths: to even, up
                        {kMax32, 0, "2147483648.00"},
                        {kMin32, 0, "-2147483648.00"}};
    for (const auto& row : rows)
        EXPECT_EQ(FormatFixed(DecimalOfSingle(row.raw, row.scale), 12, 2, "."), row.value) << row.raw;
}

// The expected text is written with "."; under "," the same text with "," is expected.
struct FixedRow {
    const char* name;
    Decimal value;
    int precision, decimals;
    std::string_view expected;
};

void ExpectFixed(std::span<const FixedRow> rows)
{
    for (const auto& row : rows) {
        std::string comma(row.expected);
        std::replace(comma.begin(), comma.end(), '.', ',');
        EXPECT_EQ(FormatFixed(row.value, row.precision, row.decimals, "."), row.expected) << row.name;
        EXPECT_EQ(FormatFixed(row.value, row.precision, row.decimals, ","), comma) << row.name;
    }
}

TEST(FormatFixed, RoundsTheDecimalValueHalvesAwayFromZero)
{
    const FixedRow rows[] = {{"zero", {0, 2}, 6, 2, "0.00"},
                             {"whole and tenths", {650, 2}, 6, 2, "6.50"},
                             {"below one", {5, 1}, 6, 2, "0.50"},
                             {"largest rating", {255, 1}, 6, 2, "25.50"},
                             {"scale zero", {7, 0}, 6, 2, "7.00"},
                             {"negative", {-650, 2}, 6, 2, "-6.50"},
                             {"half at the sixth digit goes up", {1234565, 2}, 6, 2, "12345.70"},
                             {"below half at the sixth digit", {1234564, 2}, 6, 2, "12345.60"},
                             {"three decimals at precision 6", {12345678, 3}, 6, 2, "12345.70"},
                             {"precision 7 keeps both decimals", {1234565, 2}, 7, 2, "12345.65"},
                             {"precision 7 with a six-digit whole part", {12345678, 2}, 7, 2, "123456.80"},
                             {"decimals limit before precision", {12345, 4}, 6, 2, "1.23"},
                             {"half at the last decimal", {125, 3}, 6, 2, "0.13"},
                             {"positive half", {5, 3}, 6, 2, "0.01"},
                             {"carry into a new digit", {99995, 3}, 6, 2, "100.00"},
                             {"carry reaching precision exactly", {9999995, 2}, 6, 2, "100000.00"},
                             {"negative half away from zero", {-5, 3}, 6, 2, "-0.01"},
                             {"negative that rounds to zero", {-4, 3}, 6, 2, "0.00"},
                             {"no decimals rounds down", {10004, 1}, 6, 0, "1000"},
                             {"no decimals, up", {10005, 1}, 6, 0, "1001"},
                             {"precision 2", {1250, 2}, 2, 2, "13.00"},
                             {"precision 2, negative", {-1250, 2}, 2, 2, "-13.00"},
                             {"six-digit whole part fits", {99999944, 2}, 6, 2, "999999.00"}};
    ExpectFixed(rows);
}

// Precision digits with the mark after the first, then "E", the exponent's sign and its digits.
TEST(FormatFixed, WritesWholePartsLongerThanThePrecisionInScientificNotation)
{
    const FixedRow rows[] = {{"rounds up to seven digits", {99999952, 2}, 6, 2, "1.00000E+6"},
                             {"negative", {-99999952, 2}, 6, 2, "-1.00000E+6"},
                             {"seven-digit whole part", {1234567, 0}, 6, 2, "1.23457E+6"},
                             {"largest goal amount", {2147483648, 2}, 6, 2, "2.14748E+7"},
                             {"smallest goal amount", {-2147483648LL, 2}, 6, 2, "-2.14748E+7"},
                             {"carry at precision 7", {99999995, 1}, 7, 2, "1.000000E+7"}};
    ExpectFixed(rows);
}

} // namespace
} // namespace lmp
