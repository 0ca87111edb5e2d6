#include "core/NaturalOrder.h"

#include <gtest/gtest.h>

#include <string_view>

namespace lmp {
namespace {

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST(CompareNatural, ComparesDigitRunsByValueAndLettersWithoutCaseThenBytes)
{
    struct Row {
        std::string_view a, b;
        int sign;
    };
    const Row rows[] = {{"", "", 0},
                        {"", "a", -1},
                        {"a", "a", 0},
                        {"a", "b", -1},
                        {"B", "a", 1},
                        {"track2", "Track10", -1},
                        {"file9", "file10", -1},
                        {"file010", "file9", 1},
                        {"a1b2", "a1b10", -1},
                        {"x2y", "x2", 1},
                        {"10", "9a", 1},
                        {"x99999999999999999999999", "x100000000000000000000000", -1},
                        {"x100000000000000000000001", "x100000000000000000000000", 1},
                        {"ABC", "abc", -1},      // equal without case: byte order decides
                        {"file01", "file1", -1}, // equal by value: byte order decides
                        {"Park.SV4", "park.sv4", -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << row.a << "\" vs \"" << row.b << '"');
        EXPECT_EQ(Sign(CompareNatural(row.a, row.b)), row.sign);
        EXPECT_EQ(Sign(CompareNatural(row.b, row.a)), -row.sign);
        EXPECT_EQ(NaturalLess(row.a, row.b), row.sign < 0);
    }
}

} // namespace
} // namespace lmp
