#include "core/TrackDesign.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lmp {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The 85 names of types 0 to 84, in order.
// clang-format off
const std::string_view kRideTypeNames[] = {
    "Wooden Roller Coaster", "Stand-Up Steel Roller Coaster", "Suspended Roller Coaster",
    "Inverted Roller Coaster", "Steel Mini Roller Coaster", "Miniature Railroad", "Monorail",
    "Suspended Single-Rail Roller Coaster", "Boat Hire", "Wooden Crazy Rodent Roller Coaster",
    "Single-Rail Roller Coaster", "Car Ride", "Whoa Belly", "Bobsled Roller Coaster", "Observation Tower",
    "Steel Roller Coaster", "Water Slide", "Mine Train Roller Coaster", "Chairlift",
    "Steel Corkscrew Roller Coaster", "Hedge Maze", "Spiral Slide", "Go Karts", "Log Flume", "River Rapids",
    "Bumper Cars", "Swinging Ship", "Swinging Inverter Ship", "Ice Cream Stall", "Fries Stall", "Drink Stall",
    "Cotton Candy Stall", "Burger Bar", "Merry-Go-Round", "Balloon Stall", "Information Kiosk", "Bathroom",
    "Ferris Wheel", "Motion Simulator", "3D Cinema", "Gravitron", "Space Rings",
    "Reverse Whoa Belly Roller Coaster", "Souvenir Stall", "Vertical Roller Coaster", "Pizza Stall",
    "Scrambled Eggs", "Haunted House", "Popcorn Stall", "Circus Show", "Ghost Train",
    "Steel Twister Roller Coaster", "Wooden Twister Roller Coaster", "Wooden Side-Friction Roller Coaster",
    "Steel Wild Mouse Roller Coaster", "Hot Dog Stall", "Exotic Sea-Food Stall", "Hat Stall",
    "Candy Apple Stand", "Virginia Reel", "River Ride", "Cycle Monorail", "Flying Roller Coaster",
    "Suspended Monorail", "(reserved)", "Wooden Reverser Roller Coaster", "Heartline Twister Roller Coaster",
    "Miniature Golf", "(reserved)", "Roto-Drop", "Flying Saucers", "Crooked House", "Cycle Railway",
    "Suspended Looping Roller Coaster", "Water Coaster", "Air Powered Vertical Coaster",
    "Inverted Wild Mouse Coaster", "Jet Skis", "T-shirt Stall", "Raft Ride", "Doughnut Shop", "Enterprise",
    "Coffee Shop", "Fried Chicken Stall", "Lemonade Stall"};
// clang-format on

TEST(RideTypeName, LooksUpTheFixedTableAndAnswersErrorAbove84)
{
    for (unsigned type = 0; type < 85; ++type) {
        SCOPED_TRACE(type);
        EXPECT_EQ(RideTypeName(type), kRideTypeNames[type]);
    }
    for (const unsigned type : {85u, 128u, 255u, 256u, 4294967295u}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(RideTypeName(type), "ERROR!");
    }
}

// Decoded track design written field by field: type at 0, flags at 7, length at 43, ratings at 51..53.
Bytes Design(std::uint8_t type, std::uint16_t length, std::uint8_t excitement, std::uint8_t intensity,
             std::uint8_t nausea, std::uint8_t flags = 0)
{
    Bytes bytes(54, 0xCC); // filler that no field may pick up
    bytes[0] = type;
    bytes[7] = flags;
    bytes[43] = static_cast<std::uint8_t>(length & 0xFF);
    bytes[44] = static_cast<std::uint8_t>(length >> 8);
    bytes[51] = excitement;
    bytes[52] = intensity;
    bytes[53] = nausea;
    return bytes;
}

Lines Describe(const Bytes& decoded, std::string_view mark = ".")
{
    Lines lines;
    DescribeTrackDesign(ByteStream(decoded), mark, lines);
    return lines;
}

struct DesignRow {
    const char* name;
    Bytes decoded;
    std::string_view mark, type, excitement, intensity, nausea, length;
};

void ExpectDesignLines(const DesignRow& row)
{
    SCOPED_TRACE(row.name);
    const Lines expected = {
        "      Type: " + std::string(row.type), "Excitement: " + std::string(row.excitement),
        " Intensity: " + std::string(row.intensity), "    Nausea: " + std::string(row.nausea),
        "    Length: " + std::string(row.length)};
    EXPECT_EQ(Describe(row.decoded, row.mark), expected);
}

TEST(DescribeTrackDesign, WritesTypeRatingsAndLengthInOrder)
{
    const DesignRow rows[] = {{"all zero", Design(0, 0, 0, 0, 0), ".", "Wooden Roller Coaster", "0.00",
                               "0.00", "0.00", "0 ft, (0 meters)"},
                              {"typical ratings", Design(84, 305, 5, 67, 255), ".", "Lemonade Stall", "0.50",
                               "6.70", "25.50", "1,000 ft, (305 meters)"},
                              {"unknown type", Design(255, 1000, 10, 1, 100), ".", "ERROR!", "1.00", "0.10",
                               "10.00", "3,280 ft, (1,000 meters)"},
                              {"longest track", Design(64, 65535, 0, 0, 0), ".", "(reserved)", "0.00", "0.00",
                               "0.00", "214,955 ft, (65,535 meters)"},
                              {"comma decimal mark keeps the thousands comma", Design(52, 1000, 67, 255, 5),
                               ",", "Wooden Twister Roller Coaster", "6,70", "25,50", "0,50",
                               "3,280 ft, (1,000 meters)"}};
    for (const auto& row : rows) {
        ExpectDesignLines(row);
    }
}

TEST(DescribeTrackDesign, ReadsMissingFieldsOfShortDataAsZero)
{
    Bytes cutInLength(44, 0x00); // the low byte of the length is the last one: 49 metres
    cutInLength[0] = 12;
    cutInLength[43] = 0x31;
    Bytes cutInRatings = Design(5, 305, 45, 99, 99);
    cutInRatings.resize(52); // excitement kept, intensity and nausea gone
    const DesignRow rows[] = {
        {"empty", {}, ".", "Wooden Roller Coaster", "0.00", "0.00", "0.00", "0 ft, (0 meters)"},
        {"cut inside the length", cutInLength, ".", "Whoa Belly", "0.00", "0.00", "0.00",
         "161 ft, (49 meters)"},
        {"cut inside the ratings", cutInRatings, ".", "Miniature Railroad", "4.50", "0.00", "0.00",
         "1,000 ft, (305 meters)"}};
    for (const auto& row : rows) {
        ExpectDesignLines(row);
    }
}

} // namespace
} // namespace lmp
