#include "testkit/GameFiles.h"

#include <gtest/gtest.h>

namespace lmp::testkit {
namespace {

// Worked out by hand; that the files built this way read back as intended is shown by the core tests.
TEST(Testkit, WritesTheWorkedByteExamples)
{
    const Bytes body = {0x00, 0x41}; // checksum 0x208
    struct Row {
        const char* name;
        Bytes built, expected;
    };
    const Row rows[] = {
        {"literal of one", RunLengthWriter().Literal(Bytes{0x41}).Body(), {0x00, 0x41}},
        {"repeat of two", RunLengthWriter().Repeat(0x41, 2).Body(), {0xFF, 0x41}},
        {"repeat of 129", RunLengthWriter().Repeat(0x41, 129).Body(), {0x80, 0x41}},
        {"a pair stays literal", EncodeRunLength(Bytes{0x41, 0x41}), {0x01, 0x41, 0x41}},
        {"run between literals",
         EncodeRunLength(Bytes{0x42, 0x41, 0x41, 0x41, 0x41, 0x43}),
         {0x00, 0x42, 0xFD, 0x41, 0x00, 0x43}},
        {"130 of a kind leave one", EncodeRunLength(Bytes(130, 0x41)), {0x80, 0x41, 0x00, 0x41}},
        {"132 of a kind leave a run", EncodeRunLength(Bytes(132, 0x41)), {0x80, 0x41, 0xFE, 0x41}},
        {"saved game, +108156", PackGameFile(body, FileType::SavedGame, 0), {0, 0x41, 0x84, 0xA8, 0x01, 0}},
        {"scenario, -108156", PackGameFile(body, FileType::Scenario, 0), {0, 0x41, 0x8C, 0x5B, 0xFE, 0xFF}},
        {"no rule, D = 0", PackUnmatched(body), {0x00, 0x41, 0x08, 0x02, 0x00, 0x00}}};
    for (const auto& row : rows)
        EXPECT_EQ(row.built, row.expected) << row.name;
}

} // namespace
} // namespace lmp::testkit
