#include "core/TrackDesign.h"

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "testkit/GameLayout.h"

namespace lmp {
namespace {

using test::Bytes;

TEST(RideTypeName, NamesTypes0To84AndAnswersErrorAbove)
{
    const struct {
        unsigned type;
        std::string_view name;
    } rows[] = {{0, "Wooden Roller Coaster"},
                {27, "Swinging Inverter Ship"},
                {28, "Ice Cream Stall"},
                {32, "Burger Bar"},
                {33, "Merry-Go-Round"},
                {36, "Bathroom"},
                {63, "Suspended Monorail"},
                {64, "(reserved)"},
                {65, "Wooden Reverser Roller Coaster"},
                {67, "Miniature Golf"},
                {68, "(reserved)"},
                {69, "Roto-Drop"},
                {84, "Lemonade Stall"},
                {85, "ERROR!"},
                {255, "ERROR!"},
                {256, "ERROR!"},
                {4294967295u, "ERROR!"}};
    for (const auto& row : rows)
        EXPECT_EQ(RideTypeName(row.type), row.name) << row.type;
    int named = 0, reserved = 0;
    for (unsigned type = 0; type < 256; ++type) {
        named += RideTypeName(type) != "ERROR!";
        reserved += RideTypeName(type) == "(reserved)";
    }
    EXPECT_EQ(named, 85);
    EXPECT_EQ(reserved, 2);
}

// Decoded track design of size bytes written field by field: type at 0, length at 43, ratings at 51..53.
Bytes Design(std::uint8_t type, std::uint16_t length, std::uint8_t excitement, std::uint8_t intensity,
             std::uint8_t nausea, std::size_t size = testkit::layout::kTrackSummarySize)
{
    using namespace testkit::layout;
    Bytes bytes(kTrackSummarySize, 0xCC); // filler that no field may pick up
    bytes[kTrackRideType] = type;
    bytes[kTrackLength] = static_cast<std::uint8_t>(length & 0xFF);
    bytes[kTrackLength + 1] = static_cast<std::uint8_t>(length >> 8);
    bytes[kTrackExcitement] = excitement;
    bytes[kTrackIntensity] = intensity;
    bytes[kTrackNausea] = nausea;
    bytes.resize(size);
    return bytes;
}

TEST(DescribeTrackDesign, WritesTypeRatingsAndLengthInOrderReadingMissingFieldsAsZero)
{
    struct Row {
        const char* name;
        Bytes decoded;
        std::string mark, type, excite, intense, nausea, length;
    };
    const Row rows[] = {
        {"typical ratings", Design(84, 305, 5, 67, 255), ".", "Lemonade Stall", "0.50", "6.70", "25.50",
         "1,000 ft, (305 meters)"},
        {"unknown type", Design(255, 1000, 10, 1, 100), ".", "ERROR!", "1.00", "0.10", "10.00",
         "3,280 ft, (1,000 meters)"},
        {"longest track", Design(64, 65535, 0, 0, 0), ".", "(reserved)", "0.00", "0.00", "0.00",
         "214,955 ft, (65,535 meters)"},
        {"comma decimal mark keeps the thousands comma", Design(52, 1000, 67, 255, 5), ",",
         "Wooden Twister Roller Coaster", "6,70", "25,50", "0,50", "3,280 ft, (1,000 meters)"},
        {"empty", {}, ".", "Wooden Roller Coaster", "0.00", "0.00", "0.00", "0 ft, (0 meters)"},
        {"cut after the low byte of the length", Design(12, 0x1231, 9, 9, 9, 44), ".", "Whoa Belly", "0.00",
         "0.00", "0.00", "161 ft, (49 meters)"},
        {"cut inside the ratings", Design(5, 305, 45, 99, 99, 52), ".", "Miniature Railroad", "4.50", "0.00",
         "0.00", "1,000 ft, (305 meters)"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Lines lines;
        DescribeTrackDesign(ByteStream(row.decoded), row.mark, lines);
        EXPECT_EQ(lines,
                  (Lines{"      Type: " + row.type, "Excitement: " + row.excite, " Intensity: " + row.intense,
                         "    Nausea: " + row.nausea, "    Length: " + row.length}));
    }
}

} // namespace
} // namespace lmp
