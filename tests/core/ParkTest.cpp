#include "core/Park.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace lmp {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPeople = 393236, kCash = 1673268, kGuests = 1674396, kRating = 1675528;
constexpr std::size_t kGoalType = 1676624, kGoalYears = 1676625, kGoalAmount = 1676628, kGoalCount = 1676632;
constexpr std::size_t kRides = 1718432, kName = 2065172, kSlot = 2065234;
constexpr std::size_t kScrambledStart = 393240;

// A decoded park written field by field at the layout's offsets, independent of the testkit builder.
// Every ride record starts out with the uncounted type 255; person records are all in use, none staff.
class ParkImage {
  public:
    ParkImage() : bytes_(kParkExtent, 0)
    {
        for (std::size_t i = 0; i < 255; ++i) {
            bytes_[kRides + 608 * i] = 255;
        }
    }
    // Writes the low `width` bytes of value little-endian at offset.
    ParkImage& Put(std::size_t offset, std::uint32_t value, int width)
    {
        for (int i = 0; i < width; ++i) {
            bytes_[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        return *this;
    }
    ParkImage& U8(std::size_t offset, std::uint8_t value) { return Put(offset, value, 1); }
    ParkImage& U16(std::size_t offset, std::uint16_t value) { return Put(offset, value, 2); }
    ParkImage& U32(std::size_t offset, std::uint32_t value) { return Put(offset, value, 4); }
    ParkImage& Name(std::string_view name)
    {
        std::copy(name.begin(), name.end(), bytes_.begin() + kName);
        return *this;
    }
    ParkImage& Ride(std::size_t index, std::uint8_t type, std::uint16_t flags, std::uint16_t excitement = 0,
                    std::uint16_t intensity = 0, std::uint16_t nausea = 0)
    {
        const std::size_t at = kRides + 608 * index;
        return U8(at, type)
            .U16(at + 2, flags)
            .U16(at + 240, excitement)
            .U16(at + 242, intensity)
            .U16(at + 244, nausea);
    }
    ParkImage& Person(std::size_t index, std::uint8_t first, std::uint8_t staffByte)
    {
        return U8(kPeople + 256 * index, first).U8(kPeople + 256 * index + 46, staffByte);
    }
    const Bytes& Get() const { return bytes_; }

  private:
    Bytes bytes_;
};

Lines Describe(const Bytes& decoded, bool scenario, std::string_view mark = ".")
{
    Lines lines;
    DescribeParkFile(ByteStream(decoded), scenario, mark, lines);
    return lines;
}

TEST(ClassifyRideType, SortsAll256TypesIntoTwentyStallsAnd63Rides)
{
    const std::set<int> stalls = {28, 29, 30, 31, 32, 34, 35, 36, 43, 45,
                                  48, 55, 56, 57, 58, 78, 80, 82, 83, 84};
    int rides = 0, stallCount = 0, uncounted = 0;
    for (int type = 0; type < 256; ++type) {
        SCOPED_TRACE(type);
        const RideClass expected = stalls.count(type)                        ? RideClass::Stall
                                   : (type == 64 || type == 68 || type > 84) ? RideClass::NotCounted
                                                                             : RideClass::Ride;
        const RideClass actual = ClassifyRideType(static_cast<std::uint8_t>(type));
        EXPECT_EQ(actual, expected);
        rides += actual == RideClass::Ride;
        stallCount += actual == RideClass::Stall;
        uncounted += actual == RideClass::NotCounted;
    }
    EXPECT_EQ(stallCount, 20);
    EXPECT_EQ(rides, 63);
    EXPECT_EQ(uncounted, 173);
}

TEST(DescribeParkFile, SavedGameGivesNineLinesAndScenarioTen)
{
    ParkImage park;
    park.Name("Example Park").U16(kSlot, 3).U8(kGoalType, 3).U16(0, 9).U16(2, 0x7800).U16(kRating, 642);
    park.U32(kCash, static_cast<std::uint32_t>(-12345)).U16(kGuests, 1234);
    park.Ride(0, 33, 0x0002, 650, 400, 120).Ride(1, 36, 0).Ride(254, 0, 0x0002, 701, 501, 301);
    park.Person(0, 0, 1).Person(4999, 7, 1).Person(10, 255, 1).Person(11, 3, 2);

    // clang-format off
    const Lines tail = {"      Date: April 16, year 2", "    Rating: 642", "      Cash: $-1,234",
                        "    #Rides: 2,  #Stalls: 1", "Avg Excite: 6.75", "Avg Intens: 4.50",
                        "Avg Nausea: 2.10", "   #Guests: 1,234 ,  #Staff: 2"};
    // clang-format on
    Lines saved = {"  Scenario: Example Park"};
    saved.insert(saved.end(), tail.begin(), tail.end());
    Lines scenario = {"  Scenario: Example Park  ; slot #3", "      Goal: to have fun!"};
    scenario.insert(scenario.end(), tail.begin(), tail.end());

    EXPECT_EQ(Describe(park.Get(), false), saved);
    EXPECT_EQ(Describe(park.Get(), true), scenario);
}

TEST(DescribeParkFile, WritesEveryGoalText)
{
    struct Row {
        std::uint8_t type, years;
        std::int32_t amount;
        std::uint16_t count;
        std::string_view mark, text;
    };
    const Row rows[] = {
        {0, 5, 650, 100, ".", "???"},
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
        {9, 0, 99999948, 0, ".", "complete five coasters with excitement at least 1.00000E+6"},
        {10, 0, 0, 0, ".", "???"},
        {12, 0, 0, 0, ".", "???"},
        {255, 1, 650, 1500, ".", "???"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "goal type " << int{row.type} << ", amount " << row.amount);
        ParkImage park;
        park.U8(kGoalType, row.type).U8(kGoalYears, row.years).U16(kGoalCount, row.count);
        park.U32(kGoalAmount, static_cast<std::uint32_t>(row.amount));
        const Lines lines = Describe(park.Get(), true, row.mark);
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[1], "      Goal: " + std::string(row.text));
    }
}

TEST(DescribeParkFile, WritesTheDateFromMonthAndDayWords)
{
    struct Row {
        std::uint16_t monthWord, dayWord;
        std::string_view date;
    };
    const Row rows[] = {{0, 0, "March 1, year 1"},           {9, 0x7800, "April 16, year 2"},
                        {2, 0x0800, "May 2, year 1"},        {3, 0x07FF, "June 1, year 1"},
                        {4, 0xF800, "July 32, year 1"},      {5, 0, "August 1, year 1"},
                        {6, 0, "September 1, year 1"},       {7, 0, "October 1, year 1"},
                        {0xFFFF, 0, "October 1, year 8192"}, {0xFFF8, 0xFFFF, "March 32, year 8192"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.date);
        ParkImage park;
        park.U16(0, row.monthWord).U16(2, row.dayWord);
        EXPECT_EQ(Describe(park.Get(), false)[1], "      Date: " + std::string(row.date));
    }
}

TEST(DescribeParkFile, CountsRidesAndStallsAndAveragesRatedRidesByIntegerDivision)
{
    struct Ride {
        std::size_t index;
        std::uint8_t type;
        std::uint16_t flags, excitement, intensity, nausea;
    };
    struct Row {
        const char* name;
        std::vector<Ride> rides;
        std::string_view counts, excitement, intensity, nausea;
    };
    std::vector<Ride> full;
    for (std::size_t i = 0; i < 255; ++i) {
        full.push_back({i, 50, 0x0002, 65535, 1, 0});
    }
    // clang-format off
    const Row rows[] = {
        {"no rides", {}, "0,  #Stalls: 0", "0.00", "0.00", "0.00"},
        {"unrated rides still count",
         {{0, 33, 0, 900, 900, 900}, {1, 0, 0xFFFD, 900, 900, 900}, {2, 84, 0, 0, 0, 0}, {3, 28, 2, 9, 9, 9}},
         "2,  #Stalls: 2", "0.00", "0.00", "0.00"},
        {"truncating averages", {{0, 33, 2, 650, 100, 0}, {1, 51, 2, 701, 201, 1}},
         "2,  #Stalls: 0", "6.75", "1.50", "0.00"},
        {"only bit 1 of the flags word marks a rating",
         {{0, 1, 0x0200, 100, 100, 100}, {1, 2, 0x0003, 300, 300, 300}, {2, 3, 0xFFFF, 500, 500, 500}},
         "3,  #Stalls: 0", "4.00", "4.00", "4.00"},
        {"uncounted types are passed over",
         {{0, 64, 2, 999, 999, 999}, {1, 68, 2, 999, 999, 999}, {2, 85, 2, 999, 999, 999},
          {3, 36, 2, 999, 999, 999}, {4, 63, 2, 300, 200, 100}},
         "1,  #Stalls: 1", "3.00", "2.00", "1.00"},
        {"every record a rated ride at the top rating", full, "255,  #Stalls: 0", "655.35", "0.01", "0.00"}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParkImage park;
        for (const auto& ride : row.rides) {
            park.Ride(ride.index, ride.type, ride.flags, ride.excitement, ride.intensity, ride.nausea);
        }
        const Lines lines = Describe(park.Get(), false);
        ASSERT_EQ(lines.size(), 9u);
        EXPECT_EQ(lines[4], "    #Rides: " + std::string(row.counts));
        EXPECT_EQ(lines[5], "Avg Excite: " + std::string(row.excitement));
        EXPECT_EQ(lines[6], "Avg Intens: " + std::string(row.intensity));
        EXPECT_EQ(lines[7], "Avg Nausea: " + std::string(row.nausea));
    }
}

TEST(DescribeParkFile, CountsStaffAndShowsTheStoredGuestNumber)
{
    ParkImage park;
    park.U16(kGuests, 65535);
    park.Person(0, 0, 1).Person(1, 254, 1).Person(2, 255, 1);
    park.Person(3, 1, 0).Person(4, 1, 2).Person(4999, 9, 1);
    EXPECT_EQ(Describe(park.Get(), false)[8], "   #Guests: 65,535 ,  #Staff: 3");
}

TEST(DescribeParkFile, ShowsTheNameAsLatin1AndTheSlotOfScenarios)
{
    struct Row {
        const char* name;
        std::string stored;
        std::uint16_t slot;
        std::string saved, scenario;
    };
    const Row rows[] = {
        {"32 bytes without a zero", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345  ; slot #7"},
        {"empty", std::string("\0Hidden", 7), 0, "", "  ; slot #0"},
        {"ends at the first zero", std::string("Hello\0World", 11), 65535, "Hello", "Hello  ; slot #65535"},
        {"Latin-1 letters", "Caf\xE9 \xFF\x80", 12, "Caf\xC3\xA9 \xC3\xBF\xC2\x80",
         "Caf\xC3\xA9 \xC3\xBF\xC2\x80  ; slot #12"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParkImage park;
        park.Name(row.stored).U16(kSlot, row.slot).U8(kName + 32, 'X').U8(kName + 33, 'Y');
        EXPECT_EQ(Describe(park.Get(), false)[0], "  Scenario: " + row.saved);
        EXPECT_EQ(Describe(park.Get(), true)[0], "  Scenario: " + row.scenario);
    }
}

TEST(DescribeParkFile, ReadsFieldsBeyondShortDataAsZero)
{
    ParkImage park;
    park.Name("Cut").U16(kSlot, 0x1234);
    Bytes cut = park.Get();
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
    struct Row {
        std::uint32_t scrambled, plain;
    };
    // plain = move(scrambled ^ 0x5B5B5B5B): bit i goes to (i + 9) mod 32, bits 8..15 to 22,23,24,17..21.
    const Row rows[] = {{0x5B5B5B5B, 0x00000000}, {0x5B5B5B5A, 0x00000200}, {0x5B5B5A5B, 0x00400000},
                        {0x496F0D23, 0x6994F024}, {0xA4A4A4A4, 0xFFFFFFFF}, {0xDB5B5B5B, 0x00000100},
                        {0x5B5BDB5B, 0x00200000}, {0x5BA45B5B, 0xFE000001}, {0x00000000, 0xB6D6B6B6}};
    ByteStream stream(Bytes(kParkExtent + 8, 0x5B)); // every region word of 0x5B bytes descrambles to zero
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        stream.WriteU32(kScrambledStart + 4 * i, rows[i].scrambled);
    }
    stream.WriteU32(kParkExtent - 4, 0x496F0D23); // the last word of the region
    DescrambleScenario(stream);

    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(testing::Message() << std::hex << rows[i].scrambled);
        EXPECT_EQ(stream.U32(kScrambledStart + 4 * i), rows[i].plain);
    }
    EXPECT_EQ(stream.U32(kParkExtent - 4), 0x6994F024u);
    EXPECT_EQ(stream.U32(kParkExtent - 8), 0u);
    EXPECT_EQ(stream.U32(1000000), 0u);
    const auto bytes = stream.Bytes();
    EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + kScrambledStart, 0x5B), 393240)
        << "before the region";
    EXPECT_EQ(std::count(bytes.begin() + kParkExtent, bytes.end(), 0x5B), 8) << "after the region";
}

TEST(DescrambleScenario, LeavesPartialWordsOfShortDataAlone)
{
    struct Row {
        const char* name;
        std::size_t size;
        std::size_t descrambledWords;
    };
    const Row rows[] = {
        {"empty", 0, 0},
        {"ends before the region", 1000, 0},
        {"ends one byte into the region", kScrambledStart + 1, 0},
        {"one whole word and two bytes", kScrambledStart + 6, 1},
        {"one byte short of the extent", kParkExtent - 1, (kParkExtent - 1 - kScrambledStart) / 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ByteStream stream(Bytes(row.size, 0x5B));
        DescrambleScenario(stream);
        ASSERT_EQ(stream.Size(), row.size);
        const std::size_t firstKept =
            row.size < kScrambledStart ? 0 : kScrambledStart + 4 * row.descrambledWords;
        for (std::size_t i = 0; i < row.size; ++i) {
            const bool inDescrambled = i >= kScrambledStart && i < firstKept;
            ASSERT_EQ(stream.U8(i), inDescrambled ? 0x00 : 0x5B) << "byte " << i;
        }
    }
}

} // namespace
} // namespace lmp
