#include "core/Describe.h"

#include "TempFolder.h"
#include "core/Park.h"
#include "core/RunLength.h"
#include "core/TrackDesign.h"
#include "testkit/GameFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lmp {
namespace {

using testkit::Bytes;

const std::string kFailure(kVersionFailureLine);
const std::string kSeparator(kSeparatorLine);

DescribeOptions All(bool withSeparator = false)
{
    DescribeOptions options;
    options.withSeparator = withSeparator;
    return options;
}

DescribeOptions Only(std::int32_t edition, bool withSeparator = false)
{
    DescribeOptions options = All(withSeparator);
    options.acceptOriginal = edition == 0;
    options.acceptFirstExpansion = edition == 1;
    options.acceptSecondExpansion = edition == 2;
    return options;
}

Description DescribeBytes(std::string_view fileName, const Bytes& file, const DescribeOptions& options)
{
    const FileType type = FileTypeOfName(fileName);
    return DescribePackedFile(fileName, type, ScanPackedBytes(file, HeadLimitFor(type)), options);
}

void ExpectDescription(const Description& actual, std::int32_t edition, const Lines& lines)
{
    EXPECT_EQ(actual.edition, edition);
    EXPECT_EQ(actual.lines, lines);
}

Lines Concat(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

testkit::TrackDesignSpec Coaster()
{
    testkit::TrackDesignSpec spec;
    spec.rideType = 51;
    spec.lengthMetres = 305;
    spec.excitement = 67;
    spec.intensity = 5;
    spec.nausea = 255;
    return spec;
}

const Lines kCoasterLines = {"      Type: Steel Twister Roller Coaster", "Excitement: 6.70",
                             " Intensity: 0.50", "    Nausea: 25.50", "    Length: 1,000 ft, (305 meters)"};

testkit::ParkSpec Lakeside()
{
    testkit::ParkSpec spec;
    spec.name = "Lakeside Fun";
    spec.slot = 4;
    spec.goalType = 1;
    spec.goalYears = 3;
    spec.goalCount = 1500;
    spec.monthWord = 9;
    spec.dayWord = 0x7800;
    spec.rating = 650;
    spec.cash = 123456;
    spec.guests = 2500;
    spec.rides = {{33, true, 650, 400, 200},
                  {51, true, 701, 501, 301},
                  {28, false, 0, 0, 0},
                  {64, true, 999, 999, 999},
                  {0, false, 0, 0, 0}};
    spec.staff = 3;
    spec.otherPeople = 10;
    return spec;
}

// clang-format off
const Lines kLakesideScenarioHead = {"  Scenario: Lakeside Fun  ; slot #4",
                                     "      Goal: 1,500 guests by end of year 3"};
const Lines kLakesideTail = {
    "      Date: April 16, year 2", "    Rating: 650", "      Cash: $12,345", "    #Rides: 3,  #Stalls: 1",
    "Avg Excite: 6.75", "Avg Intens: 4.50", "Avg Nausea: 2.50", "   #Guests: 2,500 ,  #Staff: 3"};
// clang-format on

TEST(HeadLimitFor, CoversDecodingToTheExtentAndStaysWellInsideTheMemoryBudget)
{
    EXPECT_GE(HeadLimitFor(FileType::TrackDesign), RunLengthInputBound(kTrackDesignExtent));
    for (const FileType park : {FileType::SavedGame, FileType::Scenario}) {
        EXPECT_GE(HeadLimitFor(park), RunLengthInputBound(kParkExtent));
        EXPECT_LE(HeadLimitFor(park), std::size_t{32} << 20);
    }
}

TEST(DescribePackedFile, ReportsUnmatchedChecksumsByFileTypeAndFlagsWithoutHeaderLines)
{
    struct Row {
        const char* name;
        DescribeOptions options;
        Lines trackDesign, savedGame, scenario;
    };
    const Row rows[] = {{"all flags", All(), {kFailure}, {kFailure}, {kFailure}},
                        {"all flags and a separator", All(true), {kFailure}, {kFailure}, {kFailure}},
                        {"original only", Only(0), {}, {kFailure}, {}},
                        {"first expansion only", Only(1, true), {}, {kFailure}, {}},
                        {"second expansion only", Only(2), {}, {kFailure}, {}}};
    const Bytes body = testkit::EncodeRunLength(testkit::BuildTrackDesign({}));
    // Files that no rule matches, the short ones without a trailer; then rules of another type.
    const Bytes unmatched[] = {testkit::PackUnmatched(body), {}, {0x00}, {0x00, 0x41}, {0x00, 0x41, 0x84}};
    const Bytes scenarioRule = testkit::PackWithDifference(body, -110001);
    const Bytes savedGameRule = testkit::PackWithDifference(body, 108156);
    const Bytes trackDesignRule = testkit::PackWithDifference(body, -108156);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const Bytes& file : unmatched) {
            SCOPED_TRACE(file.size());
            ExpectDescription(DescribeBytes("x.TD4", file, row.options), kNoEdition, row.trackDesign);
            ExpectDescription(DescribeBytes("x.SV4", file, row.options), kNoEdition, row.savedGame);
            ExpectDescription(DescribeBytes("x.SC4", file, row.options), kNoEdition, row.scenario);
        }
        ExpectDescription(DescribeBytes("x.TD4", scenarioRule, row.options), kNoEdition, row.trackDesign);
        ExpectDescription(DescribeBytes("x.TD4", savedGameRule, row.options), kNoEdition, row.trackDesign);
        ExpectDescription(DescribeBytes("x.SV4", trackDesignRule, row.options), kNoEdition, row.savedGame);
    }
}

TEST(DescribePackedFile, TellsTrackDesignEditionsApartByTheFlagByte)
{
    struct Row {
        const char* name;
        bool flag;
        std::int32_t difference, edition;
        std::string label;
    };
    const Row rows[] = {{"original", false, -108156, 0, "Original LMP"},
                        {"first expansion", true, -108156, 1, "Vortex Jamboree/Extra Marvels"},
                        {"second expansion", false, -120001, 2, "Quirky Quarters"},
                        {"second expansion ignores the flag", true, -120001, 2, "Quirky Quarters"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto spec = Coaster();
        spec.expansionFlag = row.flag;
        const Bytes file = testkit::PackWithDifference(
            testkit::EncodeRunLength(testkit::BuildTrackDesign(spec)), row.difference);
        ExpectDescription(
            DescribeBytes("Twister.TD4", file, All(true)), row.edition,
            Concat({{kSeparator, "File Name : Twister.TD4", "   Version: " + row.label}, kCoasterLines}));
        for (std::int32_t flagged = 0; flagged <= 2; ++flagged) {
            const Description one = DescribeBytes("Twister.TD4", file, Only(flagged));
            EXPECT_EQ(one.edition, row.edition);
            EXPECT_EQ(one.lines.size(), flagged == row.edition ? 7u : 0u);
        }
    }
}

TEST(DescribePackedFile, DescribesSavedGamesAndScenariosOfEveryEdition)
{
    const std::string labels[] = {"original LMP", "Vortex Jamboree/Extra Marvels", "Quirky Quarters"};
    for (std::int32_t edition = 0; edition <= 2; ++edition) {
        SCOPED_TRACE(edition);
        const std::string version = "   Version: " + labels[edition];
        ExpectDescription(
            DescribeBytes("Lakeside.SV4", testkit::MakeParkFile(Lakeside(), FileType::SavedGame, edition),
                          All()),
            edition,
            Concat({{"File Name : Lakeside.SV4", version, "  Scenario: Lakeside Fun"}, kLakesideTail}));
        ExpectDescription(
            DescribeBytes("Lakeside.SC4", testkit::MakeParkFile(Lakeside(), FileType::Scenario, edition),
                          Only(edition, true)),
            edition,
            Concat(
                {{kSeparator, "File Name : Lakeside.SC4", version}, kLakesideScenarioHead, kLakesideTail}));
        for (std::int32_t other = 0; other <= 2; ++other) {
            if (other != edition) {
                ExpectDescription(
                    DescribeBytes("L.SC4", testkit::MakeParkFile(Lakeside(), FileType::Scenario, edition),
                                  Only(other)),
                    edition, {});
            }
        }
    }
}

TEST(DescribePackedFile, DescramblesOnlyExpansionScenarios)
{
    const Bytes plain = testkit::BuildPark(Lakeside());
    Bytes scrambled = plain;
    testkit::ScrambleScenario(scrambled);
    struct Row {
        const char* name;
        const Bytes& decoded;
        FileType type;
        std::int32_t edition;
        Lines summaryHead;
    };
    const Row rows[] = {
        {"original scenario stored plain", plain, FileType::Scenario, 0, kLakesideScenarioHead},
        {"first expansion scenario stored scrambled", scrambled, FileType::Scenario, 1,
         kLakesideScenarioHead},
        {"second expansion scenario stored scrambled", scrambled, FileType::Scenario, 2,
         kLakesideScenarioHead},
        {"expansion saved game stored plain", plain, FileType::SavedGame, 2, {"  Scenario: Lakeside Fun"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes file =
            testkit::PackGameFile(testkit::EncodeRunLength(row.decoded), row.type, row.edition);
        const Description description =
            DescribeBytes(row.type == FileType::Scenario ? "p.SC4" : "p.SV4", file, All());
        EXPECT_EQ(description.edition, row.edition);
        ASSERT_GE(description.lines.size(), 2u);
        EXPECT_EQ(Lines(description.lines.begin() + 2, description.lines.end()),
                  Concat({row.summaryHead, kLakesideTail}));
    }
}

// 00 41 has the checksum 0x208: the first trailer gives D = +108156, the second D = -108156. The
// decoded byte 41 is the low byte of the month word (month 1, year 8 + 1); everything else reads zero,
// so all 255 ride records are unrated rides of type 0.
TEST(DescribePackedFile, WorkedSignExamplesDescribeShortParks)
{
    const Bytes plus = {0x00, 0x41, 0x84, 0xA8, 0x01, 0x00};
    const Bytes minus = {0x00, 0x41, 0x8C, 0x5B, 0xFE, 0xFF};
    // clang-format off
    const Lines tail = {"      Date: April 1, year 9", "    Rating: 0", "      Cash: $0",
                        "    #Rides: 255,  #Stalls: 0", "Avg Excite: 0.00", "Avg Intens: 0.00",
                        "Avg Nausea: 0.00", "   #Guests: 0 ,  #Staff: 0"};
    // clang-format on
    ExpectDescription(DescribeBytes("w.SV4", plus, All()), 0,
                      Concat({{"File Name : w.SV4", "   Version: original LMP", "  Scenario: "}, tail}));
    ExpectDescription(DescribeBytes("w.SC4", minus, All()), 0,
                      Concat({{"File Name : w.SC4", "   Version: original LMP", "  Scenario:   ; slot #0",
                               "      Goal: ???"},
                              tail}));
    ExpectDescription(DescribeBytes("w.SC4", plus, All()), kNoEdition, {kFailure});
    ExpectDescription(DescribeBytes("w.SV4", minus, Only(0)), kNoEdition, {kFailure});
}

TEST(DescribePackedFile, ReadsDamagedTrackDesignsWithMatchingChecksumsAsZero)
{
    struct Row {
        const char* name;
        Bytes body;
        std::string type;
    };
    const Row rows[] = {{"ten decoded bytes", {0x09, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "Whoa Belly"},
                        {"empty body", {}, "Wooden Roller Coaster"},
                        {"literal cut off by the end of the file", {0x7F, 5}, "Miniature Railroad"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectDescription(
            DescribeBytes("d.TD4", testkit::PackGameFile(row.body, FileType::TrackDesign, 0), All()), 0,
            {"File Name : d.TD4", "   Version: Original LMP", "      Type: " + row.type, "Excitement: 0.00",
             " Intensity: 0.00", "    Nausea: 0.00", "    Length: 0 ft, (0 meters)"});
    }
}

TEST(DescribeFile, DescribesFilesOnDiskByTheirExtensionWhateverItsCase)
{
    const test::TempFolder folder;
    std::filesystem::create_directory(folder / "sub");
    testkit::WriteFile(folder / "a.td4", testkit::MakeTrackDesignFile(Coaster(), 0));
    testkit::WriteFile(folder / "sub" / "Deep.Sv4",
                       testkit::MakeParkFile(Lakeside(), FileType::SavedGame, 1));
    testkit::WriteFile(folder / "c.sC4", testkit::MakeParkFile(Lakeside(), FileType::Scenario, 2));

    ExpectDescription(DescribeFile(folder / "a.td4", All(true)), 0,
                      Concat({{kSeparator, "File Name : a.td4", "   Version: Original LMP"}, kCoasterLines}));
    ExpectDescription(DescribeFile(folder / "sub" / "Deep.Sv4", All()), 1,
                      Concat({{"File Name : Deep.Sv4", "   Version: Vortex Jamboree/Extra Marvels",
                               "  Scenario: Lakeside Fun"},
                              kLakesideTail}));
    DescribeOptions custom = All(true);
    custom.separatorLine = "=====";
    ExpectDescription(DescribeFile(folder / "c.sC4", custom), 2,
                      Concat({{"=====", "File Name : c.sC4", "   Version: Quirky Quarters"},
                              kLakesideScenarioHead,
                              kLakesideTail}));
}

TEST(DescribeFile, DoesNotOpenFilesOfOtherTypes)
{
    const test::TempFolder folder;
    for (const char* name : {"a.TP4", "a.TD4.bak", "TD4"}) {
        testkit::WriteFile(folder / name, testkit::MakeTrackDesignFile(Coaster(), 0));
    }
    for (const char* name : {"a.TP4", "a.TD4.bak", "TD4", "missing.TP4", "missing", "missing.txt"}) {
        SCOPED_TRACE(name);
        Description description;
        ASSERT_NO_THROW(description = DescribeFile(folder / name, All(true)));
        ExpectDescription(description, kNoEdition, {});
    }
}

TEST(DescribeFile, ThrowsCannotOpenFileForMissingGameFilesAndFolders)
{
    const test::TempFolder folder;
    std::filesystem::create_directory(folder / "folder.TD4");
    for (const char* name : {"missing.SV4", "missing.sc4", "folder.TD4"}) {
        SCOPED_TRACE(name);
        const auto path = folder / name;
        try {
            DescribeFile(path, All());
            ADD_FAILURE() << "no error";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), "Cannot open file " + path.string());
        }
    }
}

// 2^23 records of 129 copies each would decode to more than a gigabyte; only the park's extent is read.
TEST(DescribeFile, FileThatWouldExpandToGigabytesIsDescribedFromItsExtent)
{
    Bytes body;
    body.reserve(std::size_t{2} << 23);
    for (std::size_t i = 0; i < (std::size_t{1} << 23); ++i) {
        body.insert(body.end(), {0x80, 0x01});
    }
    const test::TempFolder folder;
    testkit::WriteFile(folder / "huge.SV4", testkit::PackGameFile(body, FileType::SavedGame, 0));

    // Every decoded byte is 01: month word 0x0101 is April of year 33, day 1; ride type 1 is a ride
    // whose flags 0x0101 leave it unrated; every person record is staff.
    ExpectDescription(DescribeFile(folder / "huge.SV4", All()), 0,
                      {"File Name : huge.SV4", "   Version: original LMP",
                       "  Scenario: " + std::string(32, '\x01'), "      Date: April 1, year 33",
                       "    Rating: 257", "      Cash: $1,684,300", "    #Rides: 255,  #Stalls: 0",
                       "Avg Excite: 0.00", "Avg Intens: 0.00", "Avg Nausea: 0.00",
                       "   #Guests: 257 ,  #Staff: 5000"});
    EXPECT_LE(ReadPackedFile(folder / "huge.SV4", HeadLimitFor(FileType::SavedGame)).head.Size(),
              HeadLimitFor(FileType::SavedGame));
}

} // namespace
} // namespace lmp
