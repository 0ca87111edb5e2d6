#include "core/Park.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "testkit/GameLayout.h"

namespace lmp {
namespace {

using test::Bytes;

using namespace testkit::layout;

// A ride record: type, flags word and the three ratings in hundredths.
struct RideRecord {
    std::uint8_t type;
    int flags, excitement = 0, intensity = 0, nausea = 0;
};

// A decoded park written field by field at the layout's offsets, independent of the testkit builder.
// Every ride record starts out with the uncounted type 255; person records are all in use, none staff.
struct ParkImage {
    Bytes bytes = Bytes(kParkSize, 0);
    ParkImage()
    {
        for (std::size_t i = 0; i < kRideCount; ++i)
            bytes[kRideTable + kRideSize * i] = kUncountedRide;
    }
    // Writes the low `width` bytes of value little-endian at offset.
    ParkImage& Put(std::size_t offset, std::int64_t value, int width = 1)
    {
        for (int i = 0; i < width; ++i)
            bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
        return *this;
    }
    ParkImage& Name(std::string_view name)
    {
        std::copy(name.begin(), name.end(), bytes.begin() + kName);
        return *this;
    }
    ParkImage& Ride(std::size_t index, const RideRecord& ride)
    {
        const std::size_t at = kRideTable + kRideSize * index;
        Put(at, ride.type).Put(at + kRideFlags, ride.flags, 2).Put(at + kRideExcitement, ride.excitement, 2);
        return Put(at + kRideIntensity, ride.intensity, 2).Put(at + kRideNausea, ride.nausea, 2);
    }
    ParkImage& Person(std::size_t index, std::uint8_t first, std::uint8_t staffByte)
    {
        const std::size_t at = kPersonTable + kPersonSize * index;
        return Put(at, first).Put(at + kPersonStaff, staffByte);
    }
};

Lines Describe(const Bytes& decoded, bool scenario, std::string_view mark = ".")
{
    Lines lines;
    DescribeParkFile(ByteStream(decoded), scenario, mark, lines);
    return lines;
}

TEST(ClassifyRideType, SortsTheBoundaryTypesAndCountsTwentyStallsAnd63Rides)
{
    const auto ride = RideClass::Ride, stall = RideClass::Stall, none = RideClass::NotCounted;
    struct Row {
        int type;
        RideClass expected;
    };
    const Row rows[] = {{0, ride},   {27, ride}, {28, stall}, {32, stall}, {33, ride}, {34, stall},
                        {36, stall}, {37, ride}, {63, ride},  {64, none},  {65, ride}, {67, ride},
                        {68, none},  {69, ride}, {83, stall}, {84, stall}, {85, none}, {255, none}};
    for (const auto& row : rows)
        EXPECT_EQ(ClassifyRideType(static_cast<std::uint8_t>(row.type)), row.expected) << row.type;
    int rides = 0, stalls = 0;
    for (int type = 0; type < 256; ++type) {
        rides += ClassifyRideType(static_cast<std::uint8_t>(type)) == ride;
        stalls += ClassifyRideType(static_cast<std::uint8_t>(type)) == stall;
    }
    EXPECT_EQ(stalls, 20);
    EXPECT_EQ(rides, 63);
}

// Staff: a person record in use (first byte not 255, 254 included) whose byte 46 is exactly 1.
TEST(DescribeParkFile, SavedGameGivesNineLinesAndScenarioTen)
{
    ParkImage park;
    park.Name("Example Park")
        .Put(kSlot, 3, 2)
        .Put(kGoalType, 3)
        .Put(kMonthWord, 9, 2)
        .Put(kDayWord, 0x7800, 2);
    park.Put(kRating, 642, 2).Put(kCash, -12345, 4).Put(kGuests, 65535, 2);
    park.Ride(0, {33, 0x0002, 650, 400, 120}).Ride(1, {36, 0}).Ride(254, {0, 0x0002, 701, 501, 301});
    park.Person(0, 0, 1).Person(1, 254, 1).Person(2, 255, 1).Person(3, 1, 0).Person(4, 3, 2);
    park.Person(4999, 7, 1);
    const Lines tail = {"      Date: April 16, year 2",
                        "    Rating: 642",
                        "      Cash: $-1,234",
                        "    #Rides: 2,  #Stalls: 1",
                        "Avg Excite: 6.75",
                        "Avg Intens: 4.50",
                        "Avg Nausea: 2.10",
                        "   #Guests: 65,535 ,  #Staff: 3"};
    EXPECT_EQ(Describe(park.bytes, false), test::Concat({{"  Scenario: Example Park"}, tail}));
    EXPECT_EQ(Describe(park.bytes, true),
              test::Concat({{"  Scenario: Example Park  ; slot #3", "      Goal: to have fun!"}, tail}));
}

TEST(DescribeParkFile, WritesEveryGoalText)
{
    struct Row {
        int type, years, amount, count;
        std::string_view mark, text;
    };
    const Row rows[] = {
        {0, 5, 650, 100, ".", "???"},
        {10, 0, 0, 0, ".", "???"},
        {255, 1, 650, 1500, ".", "???"},
        {1, 3, 0, 1500, ".", "1,500 guests by end of year 3"},
        {1, 255, 0, 65535, ",", "65,535 guests by end of year 255"},
        {2, 0, 123456789, 0, ".", "park value of at least $12,345,678"},
        {2, 0, -12345, 0, ".", "park value of at least $-1,234"},
        {3, 0, 0, 0, ".", "to have fun!"},
        {4, 0, 0, 0, ".", "competition"},
        {5, 0, 0, 0, ",", "10 coasters with excitement at least 6.00"},
        {6, 0, 0, 2000, ".", "2,000 guests without falling below 700 rating"},
        {7, 0, 50000, 0, ".", "monthly ride income of at least $5,000"},
        {8, 0, 0, 305, ".", "ten coasters with excitement 7.0 and length > 1,000 ft, (305 meters)"},
        {8, 0, 0, 65535, ".", "ten coasters with excitement 7.0 and length > 214,955 ft, (65,535 meters)"},
        {9, 0, 650, 0, ".", "complete five coasters with excitement at least 6.50"},
        {9, 0, 650, 0, ",", "complete five coasters with excitement at least 6,50"},
        {9, 0, 1234565, 0, ".", "complete five coasters with excitement at least 12345.70"},
        {9, 0, -650, 0, ".", "complete five coasters with excitement at least -6.50"},
        {9, 0, 99999947, 0, ".", "complete five coasters with excitement at least 999999.00"},
        {9, 0, 99999948, 0, ".", "complete five coasters with excitement at least 1.00000E+6"}};
    for (const auto& row : rows) {
        ParkImage park;
        park.Put(kGoalType, row.type).Put(kGoalYears, row.years).Put(kGoalCount, row.count, 2);
        const Lines lines = Describe(park.Put(kGoalAmount, row.amount, 4).bytes, true, row.mark);
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[1], "      Goal: " + std::string(row.text)) << row.type << ", " << row.amount;
    }
}

TEST(DescribeParkFile, WritesTheDateFromMonthAndDayWords)
{
    struct Row {
        int monthWord, dayWord;
        std::string_view date;
    };
    const Row rows[] = {{0, 0, "March 1, year 1"},           {9, 0x7800, "April 16, year 2"},
                        {2, 0x0800, "May 2, year 1"},        {3, 0x07FF, "June 1, year 1"},
                        {4, 0xF800, "July 32, year 1"},      {5, 0, "August 1, year 1"},
                        {6, 0, "September 1, year 1"},       {7, 0, "October 1, year 1"},
                        {0xFFFF, 0, "October 1, year 8192"}, {0xFFF8, 0xFFFF, "March 32, year 8192"}};
    for (const auto& row : rows)
        EXPECT_EQ(Describe(ParkImage().Put(0, row.monthWord, 2).Put(2, row.dayWord, 2).bytes, false)[1],
                  "      Date: " + std::string(row.date));
}

TEST(DescribeParkFile, CountsRidesAndStallsAndAveragesRatedRidesByIntegerDivision)
{
    struct Row {
        const char* name;
        std::vector<RideRecord> rides;
        std::string_view counts, averages;
    };
    const Row rows[] = {
        {"no rides", {}, "0,  #Stalls: 0", "0.00 0.00 0.00"},
        {"unrated rides still count",
         {{33, 0, 900, 900, 900}, {0, 0xFFFD, 900, 900, 900}, {84, 0, 0, 0, 0}, {28, 2, 9, 9, 9}},
         "2,  #Stalls: 2",
         "0.00 0.00 0.00"},
        {"truncating averages",
         {{33, 2, 650, 100, 0}, {51, 2, 701, 201, 1}},
         "2,  #Stalls: 0",
         "6.75 1.50 0.00"},
        {"only bit 1 of the flags word marks a rating",
         {{1, 0x0200, 100, 100, 100}, {2, 0x0003, 300, 300, 300}, {3, 0xFFFF, 500, 500, 500}},
         "3,  #Stalls: 0",
         "4.00 4.00 4.00"},
        {"uncounted types are passed over",
         {{64, 2, 999, 999, 999},
          {68, 2, 999, 999, 999},
          {85, 2, 999, 999, 999},
          {36, 2, 999, 999, 999},
          {63, 2, 300, 200, 100}},
         "1,  #Stalls: 1",
         "3.00 2.00 1.00"},
        {"every record a rated ride at the top rating", std::vector<RideRecord>(255, {50, 2, 65535, 1, 0}),
         "255,  #Stalls: 0", "655.35 0.01 0.00"}};
    for (const auto& row : rows) {
        ParkImage park;
        for (std::size_t i = 0; i < row.rides.size(); ++i)
            park.Ride(i, row.rides[i]);
        const Lines lines = Describe(park.bytes, false);
        ASSERT_EQ(lines.size(), 9u);
        EXPECT_EQ(lines[4], "    #Rides: " + std::string(row.counts)) << row.name;
        EXPECT_EQ(lines[5].substr(12) + " " + lines[6].substr(12) + " " + lines[7].substr(12), row.averages)
            << row.name;
    }
}

TEST(DescribeParkFile, ShowsTheNameAsLatin1WithControlsReplacedAndTheSlotOfScenarios)
{
    struct Row {
        const char* name;
        std::string stored;
        int slot;
        std::string saved, scenario;
    };
    const Row rows[] = {
        {"32 bytes without a zero", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345  ; slot #7"},
        {"empty", std::string("\0Hidden", 7), 0, "", "  ; slot #0"},
        {"ends at the first zero", std::string("Hello\0World", 11), 65535, "Hello", "Hello  ; slot #65535"},
        {"Latin-1 letters", "Caf\xE9 \xFF\xA0", 12, "Caf\xC3\xA9 \xC3\xBF\xC2\xA0",
         "Caf\xC3\xA9 \xC3\xBF\xC2\xA0  ; slot #12"},
        // Bytes that would drive a terminal or forge a line show as U+FFFD: C0, DEL, C1 (0x80 to 0x9F).
        {"a forged cash line", "P\r\nCash: $9,999,999", 1, "P\uFFFD\uFFFDCash: $9,999,999",
         "P\uFFFD\uFFFDCash: $9,999,999  ; slot #1"},
        {"terminal commands", "\x1B]0;t\x07\x1B[2J\t\x7F\x80\x9B\x9F", 2,
         "\uFFFD]0;t\uFFFD\uFFFD[2J\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD",
         "\uFFFD]0;t\uFFFD\uFFFD[2J\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD  ; slot #2"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParkImage park;
        park.Name(row.stored)
            .Put(kSlot, row.slot, 2)
            .Put(kName + kNameSize, 'X')
            .Put(kName + kNameSize + 1, 'Y');
        EXPECT_EQ(Describe(park.bytes, false)[0], "  Scenario: " + row.saved);
        EXPECT_EQ(Describe(park.bytes, true)[0], "  Scenario: " + row.scenario);
    }
}

TEST(DescribeParkFile, ReadsFieldsBeyondShortDataAsZero)
{
    Bytes cut = ParkImage().Name("Cut").Put(kSlot, 0x1234, 2).bytes;
    cut.pop_back(); // the slot's high byte is missing
    EXPECT_EQ(Describe(cut, true)[0], "  Scenario: Cut  ; slot #52");
    // With nothing decoded every ride record reads as type 0, an unrated ride, and nobody is staff.
    const Lines empty = Describe({}, true);
    ASSERT_EQ(empty.size(), 10u);
    EXPECT_EQ(empty[5], "    #Rides: 255,  #Stalls: 0");
    EXPECT_EQ(empty[9], "   #Guests: 0 ,  #Staff: 0");
}

TEST(DescrambleScenario, UndoesTheMaskAndTheBitMovesOfEachWordOfTheRegionOnly)
{
    // plain = move(scrambled ^ 0x5B5B5B5B): bit i goes to (i + 9) mod 32, bits 8..15 to 22,23,24,17..21.
    struct Row {
        std::uint32_t scrambled, plain;
    };
    const Row rows[] = {{0x5B5B5B5B, 0x00000000}, {0x5B5B5B5A, 0x00000200}, {0x5B5B5A5B, 0x00400000},
                        {0x496F0D23, 0x6994F024}, {0xA4A4A4A4, 0xFFFFFFFF}, {0xDB5B5B5B, 0x00000100},
                        {0x5B5BDB5B, 0x00200000}, {0x5BA45B5B, 0xFE000001}, {0x00000000, 0xB6D6B6B6}};
    ByteStream stream(Bytes(kParkSize + 8, 0x5B)); // every region word of 0x5B bytes descrambles to zero
    for (std::size_t i = 0; i < std::size(rows); ++i)
        stream.WriteU32(kScrambledBegin + 4 * i, rows[i].scrambled);
    stream.WriteU32(kParkSize - 4, 0x496F0D23); // the last word of the region
    DescrambleScenario(stream);
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(stream.U32(kScrambledBegin + 4 * i), rows[i].plain) << std::hex << rows[i].scrambled;
    EXPECT_EQ(stream.U32(kParkSize - 4), 0x6994F024u);
    EXPECT_EQ(stream.U32(kParkSize - 8) | stream.U32(1000000), 0u);
    const auto bytes = stream.Bytes();
    EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + kScrambledBegin, 0x5B), kScrambledBegin) << "before";
    EXPECT_EQ(std::count(bytes.begin() + kParkSize, bytes.end(), 0x5B), 8) << "after";
}

TEST(DescrambleScenario, LeavesPartialWordsOfShortDataAlone)
{
    struct Row {
        const char* name;
        std::size_t size, descrambledWords;
    };
    const Row rows[] = {
        {"empty", 0, 0},
        {"ends before the region", 1000, 0},
        {"ends one byte into the region", kScrambledBegin + 1, 0},
        {"one whole word and two bytes", kScrambledBegin + 6, 1},
        {"one byte short of the extent", kParkSize - 1, (kParkSize - 1 - kScrambledBegin) / 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ByteStream stream(Bytes(row.size, 0x5B));
        DescrambleScenario(stream);
        ASSERT_EQ(stream.Size(), row.size);
        const std::size_t kept = row.size < kScrambledBegin ? 0 : kScrambledBegin + 4 * row.descrambledWords;
        for (std::size_t i = 0; i < row.size; ++i)
            ASSERT_EQ(stream.U8(i), i >= kScrambledBegin && i < kept ? 0x00 : 0x5B) << "byte " << i;
    }
}

TEST(SummarizePark, ScrambledBytesGiveTheSummaryOfTheirDescrambledCopyAtEveryCut)
{
    // Cuts inside and at the edges of the fields read in the scrambled region: the person table, cash,
    // goal, the ride table, the name and slot.
    const std::size_t cuts[] = {0,
                                kScrambledBegin,
                                kScrambledBegin + 3,
                                kScrambledBegin + 4,
                                kPersonTable + kPersonStaff + 1,
                                kCash + 2,
                                kCash + 4,
                                kGoalAmount + 3,
                                kRideTable + kRideExcitement + 1,
                                kRideTable + kRideSize * 100,
                                kName + 5,
                                kSlot + 1,
                                kParkSize};
    Bytes filled(kParkSize);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : filled) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    for (const std::size_t cut : cuts) {
        SCOPED_TRACE(cut);
        const Bytes scrambled(filled.begin(), filled.begin() + static_cast<std::ptrdiff_t>(cut));
        ByteStream descrambled(scrambled);
        DescrambleScenario(descrambled);
        Lines whole, lazy;
        DescribeParkFile(descrambled, true, ".", whole);
        DescribeParkFile(ByteStream(scrambled), true, ".", lazy, Scrambling::Scrambled);
        EXPECT_EQ(lazy, whole);
    }
}

} // namespace
} // namespace lmp
