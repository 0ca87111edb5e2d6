// Describing files on disk: the type chosen by the name, files that cannot be read, the stop token, and
// the same edition and lines as the baseline for every file of BaselineCases.h.
#include "scan/DescribeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stop_token>
#include <string>
#include <utility>

#include "BaselineCases.h"
#include "testkit/Baseline.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

using test::Bytes;
using test::Concat;
using Result = std::pair<std::int32_t, Lines>; // the edition and the lines, compared in one go
const std::string kSeparator(kSeparatorLine);

DescribeOptions All(bool withSeparator = false)
{
    return {.withSeparator = withSeparator};
}

Result Of(const Description& description)
{
    return {description.edition, description.lines};
}

const testkit::TrackDesignFields kCoaster = {
    .rideType = 51, .lengthMetres = 305, .excitement = 67, .intensity = 5, .nausea = 255};

const Lines kCoasterLines = {"      Type: Steel Twister Roller Coaster", "Excitement: 6.70",
                             " Intensity: 0.50", "    Nausea: 25.50", "    Length: 1,000 ft, (305 meters)"};

const testkit::ParkFields kLakeside = {
    .name = "Lakeside Fun",
    .slot = 4,
    .goalType = 1,
    .goalYears = 3,
    .goalCount = 1500,
    .monthWord = 9,
    .dayWord = 0x7800,
    .rating = 650,
    .cash = 123456,
    .guests = 2500,
    .rides = {{33, true, 650, 400, 200}, {51, true, 701, 501, 301}, {28}, {64, true, 999, 999, 999}, {0}},
    .staff = 3,
    .otherPeople = 10};

const Lines kLakesideScenario = {"  Scenario: Lakeside Fun  ; slot #4",
                                 "      Goal: 1,500 guests by end of year 3"};

const Lines kLakesideTail = {"      Date: April 16, year 2",
                             "    Rating: 650",
                             "      Cash: $12,345",
                             "    #Rides: 3,  #Stalls: 1",
                             "Avg Excite: 6.75",
                             "Avg Intens: 4.50",
                             "Avg Nausea: 2.50",
                             "   #Guests: 2,500 ,  #Staff: 3"};

// Game files are chosen by their extension whatever its case; other files are never opened, and a game
// file that cannot be read throws before any line is produced.
TEST(DescribeFile, DescribesGameFilesOnDiskAndThrowsForThoseThatCannotBeRead)
{
    const test::TempFolder folder;
    std::filesystem::create_directories(folder / "sub");
    std::filesystem::create_directory(folder / "folder.TD4");
    testkit::WriteFile(folder / "a.td4", testkit::MakeTrackDesignFile(kCoaster, 0));
    testkit::WriteFile(folder / "sub" / "Deep.Sv4", testkit::MakeParkFile(kLakeside, FileType::SavedGame, 1));
    testkit::WriteFile(folder / "c.sC4", testkit::MakeParkFile(kLakeside, FileType::Scenario, 2));
    for (const char* name : {"a.TP4", "a.TD4.bak", "TD4"})
        testkit::WriteFile(folder / name, testkit::MakeTrackDesignFile(kCoaster, 0));
    EXPECT_EQ(
        Of(DescribeFile(folder / "a.td4", All(true))),
        Result(0, Concat({{kSeparator, "File Name : a.td4", "   Version: Original LMP"}, kCoasterLines})));
    EXPECT_EQ(Of(DescribeFile(folder / "sub" / "Deep.Sv4", All())),
              Result(1, Concat({{"File Name : Deep.Sv4", "   Version: Vortex Jamboree/Extra Marvels",
                                 "  Scenario: Lakeside Fun"},
                                kLakesideTail})));
    EXPECT_EQ(Of(DescribeFile(folder / "c.sC4", All(true))),
              Result(2, Concat({{kSeparator, "File Name : c.sC4", "   Version: Quirky Quarters"},
                                kLakesideScenario,
                                kLakesideTail})));
    std::stop_source stop;
    EXPECT_EQ(Of(DescribeFile(folder / "a.td4", All(), stop.get_token()).value()),
              Of(DescribeFile(folder / "a.td4", All())));
    stop.request_stop();
    EXPECT_FALSE(DescribeFile(folder / "a.td4", All(), stop.get_token()).has_value());
    for (const char* name : {"a.TP4", "a.TD4.bak", "TD4", "missing.TP4", "missing", "missing.txt"})
        EXPECT_EQ(Of(DescribeFile(folder / name, All(true))), Result(kNoEdition, {})) << name;
    for (const auto& [name, reason] :
         {std::pair{"missing.SV4", "No such file or directory"},
          std::pair{"missing.sc4", "No such file or directory"}, std::pair{"folder.TD4", "Is a directory"}}) {
        try {
            DescribeFile(folder / name, All());
            ADD_FAILURE() << name << ": no error";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot open file " + (folder / name).string() + ": " + reason);
        }
    }
}

// 2^23 records of 129 copies each would decode to more than a gigabyte; only the park's extent is read.
TEST(DescribeFile, FileThatWouldExpandToGigabytesIsDescribedFromItsExtent)
{
    Bytes body;
    for (std::size_t i = 0; i < (std::size_t{1} << 23); ++i)
        body.insert(body.end(), {0x80, 0x01});
    const test::TempFolder folder;
    testkit::WriteFile(folder / "huge.SV4", testkit::PackGameFile(body, FileType::SavedGame, 0));
    // Every decoded byte is 01: month word 0x0101 is April of year 33, day 1; ride type 1 is a ride whose
    // flags 0x0101 leave it unrated; every person record is staff; the name is 32 control characters.
    std::string name;
    for (int i = 0; i < 32; ++i)
        name += "\uFFFD";
    EXPECT_EQ(Of(DescribeFile(folder / "huge.SV4", All())),
              Result(0, {"File Name : huge.SV4", "   Version: original LMP", "  Scenario: " + name,
                         "      Date: April 1, year 33", "    Rating: 257", "      Cash: $1,684,300",
                         "    #Rides: 255,  #Stalls: 0", "Avg Excite: 0.00", "Avg Intens: 0.00",
                         "Avg Nausea: 0.00", "   #Guests: 257 ,  #Staff: 5000"}));
}

TEST(DescribeFile, GivesTheBaselineEditionAndLinesForEveryFileAndEveryFlag)
{
    const test::TempFolder folder;
    const auto options = test::OptionSets();
    for (const test::Case& file : test::AllCases()) {
        SCOPED_TRACE(file.name);
        const auto path = folder / file.name;
        testkit::WriteFile(path, file.bytes);
        for (const auto& [name, option] : options) {
            SCOPED_TRACE(name);
            EXPECT_EQ(Of(DescribeFile(path, option)), Of(testkit::BaselineDescribeFile(path, option)));
        }
    }
}

} // namespace
} // namespace lmp
