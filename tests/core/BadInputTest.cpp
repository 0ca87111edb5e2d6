// Bad input of every kind in memory: cut and overlong records and short decoded contents. Each gives the
// lines its contents call for, never a crash or a hang (tests/scan/BadPathTest.cpp: paths that are no
// readable game file).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "core/Describe.h"
#include "core/Park.h"
#include "core/RunLength.h"
#include "core/TrackDesign.h"
#include "testkit/GameFiles.h"
#include "testkit/GameLayout.h"

namespace lmp {
namespace {

using test::Bytes;
using test::Concat;
using Result = std::pair<std::int32_t, Lines>;
const std::string kFailure(kVersionFailureLine);

DescribeOptions All()
{
    return {};
}

Result Described(std::string_view fileName, const Bytes& file, const DescribeOptions& options)
{
    const Description described = DescribeBytes(fileName, file, options);
    return {described.edition, described.lines};
}

// The five track design lines: type name, the three ratings, the length text.
Lines Track(const std::string& type, const char* excitement, const char* intensity, const char* nausea,
            const std::string& length)
{
    return {"      Type: " + type, std::string("Excitement: ") + excitement,
            std::string(" Intensity: ") + intensity, std::string("    Nausea: ") + nausea,
            "    Length: " + length};
}

Lines TrackFile(const std::string& name, const std::string& version, const Lines& track)
{
    return Concat({{"File Name : " + name, "   Version: " + version}, track});
}

// A track design in five records, one of each kind: a one-byte literal (type 12), a repeat of 42
// zeros, a two-byte literal (length 305 = 0x0131), a repeat of 6 zeros, a three-byte literal (ratings).
const Bytes kFiveRecords = {0x00, 0x0C, 0xD7, 0x00, 0x01, 0x31, 0x01, 0xFB, 0x00, 0x02, 0x43, 0x34, 0x26};

TEST(BadInput, EveryRecordCutAtEveryPositionDecodesTheBytesThatExist)
{
    const Lines zero = Track("Wooden Roller Coaster", "0.00", "0.00", "0.00", "0 ft, (0 meters)");
    const Lines type = Track("Whoa Belly", "0.00", "0.00", "0.00", "0 ft, (0 meters)");
    const Lines lowLength = Track("Whoa Belly", "0.00", "0.00", "0.00", "161 ft, (49 meters)");
    const Lines length = Track("Whoa Belly", "0.00", "0.00", "0.00", "1,000 ft, (305 meters)");
    struct Row {
        std::size_t cut, decodedSize;
        Lines lines;
    };
    const Row rows[] = {{0, 0, zero},
                        {1, 0, zero},
                        {2, 1, type},
                        {3, 1, type},
                        {4, 43, type},
                        {5, 43, type},
                        {6, 44, lowLength},
                        {7, 45, length},
                        {8, 45, length},
                        {9, 51, length},
                        {10, 51, length},
                        {11, 52, Track("Whoa Belly", "6.70", "0.00", "0.00", "1,000 ft, (305 meters)")},
                        {12, 53, Track("Whoa Belly", "6.70", "5.20", "0.00", "1,000 ft, (305 meters)")},
                        {13, 54, Track("Whoa Belly", "6.70", "5.20", "3.80", "1,000 ft, (305 meters)")}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "cut after " << row.cut << " bytes");
        ByteStream decoded;
        DecodeRunLength(ByteStream(Bytes(kFiveRecords.begin(),
                                         kFiveRecords.begin() + static_cast<std::ptrdiff_t>(row.cut))),
                        decoded, kUnlimited);
        EXPECT_EQ(decoded.Size(), row.decodedSize);
        Lines lines;
        DescribeTrackDesign(decoded, ".", lines);
        EXPECT_EQ(lines, row.lines);
    }
}

// Cutting a packed file makes its last four bytes the trailer, which then matches no rule.
TEST(BadInput, EveryCutOfAPackedFileMatchesNoEdition)
{
    const Bytes file = testkit::PackGameFile(kFiveRecords, FileType::TrackDesign, 0);
    ASSERT_EQ(Described("x.TD4", file, All()),
              Result(0, TrackFile("x.TD4", "Original LMP",
                                  Track("Whoa Belly", "6.70", "5.20", "3.80", "1,000 ft, (305 meters)"))));
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "cut after " << cut << " bytes");
        const Bytes head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
        for (const char* name : {"x.TD4", "x.SV4", "x.SC4"})
            EXPECT_EQ(Described(name, head, All()), Result(kNoEdition, {kFailure})) << name;
    }
}

// Checksums worked out by hand: CE 00 (51 zeros) has the checksum 0x3380; followed by 02, 05 or FF it
// has 0x19C10, 0x19C28 or 0x19BF8; FA 00 00 has 0x1F400. Each trailer is that minus 108156, so every
// file is an original track design whose last record takes trailer bytes as data.
TEST(BadInput, RecordsReachingIntoAndPastTheTrailerTakeItsBytesAsData)
{
    const std::string noLength = "0 ft, (0 meters)", wooden = "Wooden Roller Coaster";
    struct Row {
        const char* name;
        Bytes file;
        std::string version;
        Lines track;
    };
    const Row rows[] = {{"a record starting at the trailer is not read",
                         {0xCE, 0x00, 0x04, 0x8D, 0xFE, 0xFF},
                         "Original LMP",
                         Track(wooden, "0.00", "0.00", "0.00", noLength)},
                        {"a literal of three ends inside the trailer",
                         {0xCE, 0x00, 0x02, 0x94, 0xF5, 0xFF, 0xFF},
                         "Original LMP",
                         Track(wooden, "14.80", "24.50", "25.50", noLength)},
                        {"a literal of six runs past the end of the file",
                         {0xCE, 0x00, 0x05, 0xAC, 0xF5, 0xFF, 0xFF},
                         "Original LMP",
                         Track(wooden, "17.20", "24.50", "25.50", noLength)},
                        {"a repeat of the first trailer byte",
                         {0xCE, 0x00, 0xFF, 0x7C, 0xF5, 0xFF, 0xFF},
                         "Original LMP",
                         Track(wooden, "12.40", "12.40", "0.00", noLength)},
                        {"the flag byte taken from the trailer",
                         {0xFA, 0x00, 0x00, 0x84, 0x4D, 0x00, 0x00},
                         "Vortex Jamboree/Extra Marvels",
                         Track(wooden, "0.00", "0.00", "0.00", noLength)}};
    for (const auto& row : rows)
        EXPECT_EQ(Described("t.TD4", row.file, All()),
                  Result(row.version == "Original LMP" ? 0 : 1, TrackFile("t.TD4", row.version, row.track)))
            << row.name;
}

TEST(BadInput, DecodedTrackDesignsOfEveryLengthReadMissingFieldsAsZero)
{
    const Bytes full = testkit::BuildTrackDesign(
        {.rideType = 12, .lengthMetres = 305, .excitement = 67, .intensity = 52, .nausea = 38, .size = 60});
    const std::string length = "1,000 ft, (305 meters)";
    struct Row {
        std::size_t from, to;
        Lines lines;
    }; // decoded lengths from..to
    const Row rows[] = {{0, 0, Track("Wooden Roller Coaster", "0.00", "0.00", "0.00", "0 ft, (0 meters)")},
                        {1, 43, Track("Whoa Belly", "0.00", "0.00", "0.00", "0 ft, (0 meters)")},
                        {44, 44, Track("Whoa Belly", "0.00", "0.00", "0.00", "161 ft, (49 meters)")},
                        {45, 51, Track("Whoa Belly", "0.00", "0.00", "0.00", length)},
                        {52, 52, Track("Whoa Belly", "6.70", "0.00", "0.00", length)},
                        {53, 53, Track("Whoa Belly", "6.70", "5.20", "0.00", length)},
                        {54, 60, Track("Whoa Belly", "6.70", "5.20", "3.80", length)}};
    for (const auto& row : rows) {
        for (std::size_t size = row.from; size <= row.to; ++size) {
            Lines lines;
            DescribeTrackDesign(
                ByteStream(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size))), ".",
                lines);
            EXPECT_EQ(lines, row.lines) << size << " decoded bytes";
        }
    }
}

// A scenario's decoded contents cut just before, inside and after each field the summary reads.
// Cash -12345 is C7 CF FF FF; 2500 guests 0x09C4; rating 650 0x028A; 1500 goal guests 0x05DC;
// slot 260 0x0104. Ride 0 is a rated ride of type 33 (excitement 650 = 0x028A), ride 1 a stall, the
// others type 255; three people are staff. Missing ride records read as unrated rides of type 0.
TEST(BadInput, DecodedParksOfEveryLengthUpToPastEachFieldReadMissingFieldsAsZero)
{
    const Bytes full = testkit::BuildPark({.name = "Lakeside",
                                           .slot = 260,
                                           .goalType = 1,
                                           .goalYears = 3,
                                           .goalCount = 1500,
                                           .monthWord = 9,
                                           .dayWord = 0x7800,
                                           .rating = 650,
                                           .cash = -12345,
                                           .guests = 2500,
                                           .rides = {{33, true, 650, 400, 200}, {28}},
                                           .staff = 3});
    namespace layout = testkit::layout;
    constexpr std::size_t people = layout::kPersonTable, cash = layout::kCash, guests = layout::kGuests;
    constexpr std::size_t rating = layout::kRating, goal = layout::kGoalType, rides = layout::kRideTable;
    constexpr std::size_t name = layout::kName, slot = layout::kSlot;
    struct Row {
        std::size_t size;
        std::string name, goal, date, rating, cash, rides, excite, intens, nausea, guests;
    };
    const std::string early = "255,  #Stalls: 0";
    const std::string noGoal = "???", lateGoal = "1,500 guests by end of year 3", date = "April 16, year 2";
    const Row rows[] = {
        {0, "  ; slot #0", noGoal, "March 1, year 1", "0", "0", early, "0.00", "0.00", "0.00",
         "0 ,  #Staff: 0"},
        {1, "  ; slot #0", noGoal, "April 1, year 2", "0", "0", early, "0.00", "0.00", "0.00",
         "0 ,  #Staff: 0"},
        {3, "  ; slot #0", noGoal, "April 1, year 2", "0", "0", early, "0.00", "0.00", "0.00",
         "0 ,  #Staff: 0"},
        {4, "  ; slot #0", noGoal, date, "0", "0", early, "0.00", "0.00", "0.00", "0 ,  #Staff: 0"},
        {people + 46, "  ; slot #0", noGoal, date, "0", "0", early, "0.00", "0.00", "0.00", "0 ,  #Staff: 0"},
        {people + 47, "  ; slot #0", noGoal, date, "0", "0", early, "0.00", "0.00", "0.00", "0 ,  #Staff: 1"},
        {people + 512 + 47, "  ; slot #0", noGoal, date, "0", "0", early, "0.00", "0.00", "0.00",
         "0 ,  #Staff: 3"},
        {cash, "  ; slot #0", noGoal, date, "0", "0", early, "0.00", "0.00", "0.00", "0 ,  #Staff: 3"},
        {cash + 1, "  ; slot #0", noGoal, date, "0", "19", early, "0.00", "0.00", "0.00", "0 ,  #Staff: 3"},
        {cash + 2, "  ; slot #0", noGoal, date, "0", "5,319", early, "0.00", "0.00", "0.00",
         "0 ,  #Staff: 3"},
        {cash + 3, "  ; slot #0", noGoal, date, "0", "1,676,487", early, "0.00", "0.00", "0.00",
         "0 ,  #Staff: 3"},
        {cash + 4, "  ; slot #0", noGoal, date, "0", "-1,234", early, "0.00", "0.00", "0.00",
         "0 ,  #Staff: 3"},
        {guests + 1, "  ; slot #0", noGoal, date, "0", "-1,234", early, "0.00", "0.00", "0.00",
         "196 ,  #Staff: 3"},
        {rating + 1, "  ; slot #0", noGoal, date, "138", "-1,234", early, "0.00", "0.00", "0.00",
         "2,500 ,  #Staff: 3"},
        {goal, "  ; slot #0", noGoal, date, "650", "-1,234", early, "0.00", "0.00", "0.00",
         "2,500 ,  #Staff: 3"},
        {goal + 1, "  ; slot #0", "0 guests by end of year 0", date, "650", "-1,234", early, "0.00", "0.00",
         "0.00", "2,500 ,  #Staff: 3"},
        {goal + 2, "  ; slot #0", "0 guests by end of year 3", date, "650", "-1,234", early, "0.00", "0.00",
         "0.00", "2,500 ,  #Staff: 3"},
        {goal + 9, "  ; slot #0", "220 guests by end of year 3", date, "650", "-1,234", early, "0.00", "0.00",
         "0.00", "2,500 ,  #Staff: 3"},
        {rides, "  ; slot #0", lateGoal, date, "650", "-1,234", early, "0.00", "0.00", "0.00",
         "2,500 ,  #Staff: 3"},
        {rides + 3, "  ; slot #0", lateGoal, date, "650", "-1,234", early, "0.00", "0.00", "0.00",
         "2,500 ,  #Staff: 3"},
        {rides + 4, "  ; slot #0", lateGoal, date, "650", "-1,234", early, "0.00", "0.00", "0.00",
         "2,500 ,  #Staff: 3"},
        {rides + 241, "  ; slot #0", lateGoal, date, "650", "-1,234", early, "1.38", "0.00", "0.00",
         "2,500 ,  #Staff: 3"},
        {rides + 246, "  ; slot #0", lateGoal, date, "650", "-1,234", early, "6.50", "4.00", "2.00",
         "2,500 ,  #Staff: 3"},
        {rides + 609, "  ; slot #0", lateGoal, date, "650", "-1,234", "254,  #Stalls: 1", "6.50", "4.00",
         "2.00", "2,500 ,  #Staff: 3"},
        {rides + 1217, "  ; slot #0", lateGoal, date, "650", "-1,234", "253,  #Stalls: 1", "6.50", "4.00",
         "2.00", "2,500 ,  #Staff: 3"},
        {name, "  ; slot #0", lateGoal, date, "650", "-1,234", "1,  #Stalls: 1", "6.50", "4.00", "2.00",
         "2,500 ,  #Staff: 3"},
        {name + 4, "Lake  ; slot #0", lateGoal, date, "650", "-1,234", "1,  #Stalls: 1", "6.50", "4.00",
         "2.00", "2,500 ,  #Staff: 3"},
        {slot + 1, "Lakeside  ; slot #4", lateGoal, date, "650", "-1,234", "1,  #Stalls: 1", "6.50", "4.00",
         "2.00", "2,500 ,  #Staff: 3"},
        {layout::kParkSize, "Lakeside  ; slot #260", lateGoal, date, "650", "-1,234", "1,  #Stalls: 1",
         "6.50", "4.00", "2.00", "2,500 ,  #Staff: 3"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.size << " decoded bytes");
        Lines lines;
        DescribeParkFile(
            ByteStream(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(row.size))), true, ".",
            lines);
        EXPECT_EQ(lines,
                  (Lines{"  Scenario: " + row.name, "      Goal: " + row.goal, "      Date: " + row.date,
                         "    Rating: " + row.rating, "      Cash: $" + row.cash, "    #Rides: " + row.rides,
                         "Avg Excite: " + row.excite, "Avg Intens: " + row.intens,
                         "Avg Nausea: " + row.nausea, "   #Guests: " + row.guests}));
    }
}

} // namespace
} // namespace lmp
