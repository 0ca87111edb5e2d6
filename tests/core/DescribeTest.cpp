#include "core/Describe.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "TestSupport.h"
#include "core/Park.h"
#include "core/TrackDesign.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

using test::Bytes;
using test::Concat;
using Result = std::pair<std::int32_t, Lines>; // the edition and the lines, compared in one go
const std::string kFailure(kVersionFailureLine), kSeparator(kSeparatorLine);

DescribeOptions All(bool withSeparator = false)
{
    return {.withSeparator = withSeparator};
}

DescribeOptions Only(std::int32_t edition, bool withSeparator = false)
{
    return {.acceptOriginal = edition == 0,
            .acceptFirstExpansion = edition == 1,
            .acceptSecondExpansion = edition == 2,
            .withSeparator = withSeparator};
}

Result Of(const Description& description)
{
    return {description.edition, description.lines};
}

Result Described(std::string_view fileName, const Bytes& file, const DescribeOptions& options)
{
    return Of(DescribeBytes(fileName, file, options));
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

TEST(DescribeBytes, ReportsUnmatchedChecksumsByFileTypeAndFlagsWithoutHeaderLines)
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
    // Files that no rule matches, the short ones without a trailer, and files packed for another type.
    const Bytes unmatched[] = {testkit::PackUnmatched(body), {}, {0x00}, {0x00, 0x41}, {0x00, 0x41, 0x84}};
    const auto packed = [&](std::int32_t rule) { return testkit::PackWithDifference(body, rule); };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const Bytes& file : unmatched) {
            EXPECT_EQ(Described("x.TD4", file, row.options), Result(kNoEdition, row.trackDesign));
            EXPECT_EQ(Described("x.SV4", file, row.options), Result(kNoEdition, row.savedGame));
            EXPECT_EQ(Described("x.SC4", file, row.options), Result(kNoEdition, row.scenario));
        }
        EXPECT_EQ(Described("x.TD4", packed(-110001), row.options), Result(kNoEdition, row.trackDesign));
        EXPECT_EQ(Described("x.TD4", packed(108156), row.options), Result(kNoEdition, row.trackDesign));
        EXPECT_EQ(Described("x.SV4", packed(-108156), row.options), Result(kNoEdition, row.savedGame));
    }
}

TEST(DescribeBytes, TellsTrackDesignEditionsApartByTheFlagByte)
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
        auto fields = kCoaster;
        fields.expansionFlag = row.flag;
        const Bytes body = testkit::EncodeRunLength(testkit::BuildTrackDesign(fields));
        const Bytes file = testkit::PackWithDifference(body, row.difference);
        const Lines head = {kSeparator, "File Name : Twister.TD4", "   Version: " + row.label};
        EXPECT_EQ(Described("Twister.TD4", file, All(true)),
                  Result(row.edition, Concat({head, kCoasterLines})));
        EXPECT_EQ(Described("Twister.TD4", file, Only(row.edition)).second.size(), 7u);
        EXPECT_EQ(Described("Twister.TD4", file, Only((row.edition + 1) % 3)), Result(row.edition, {}));
    }
}

// Scenarios of the expansions are stored scrambled (the testkit scrambles them), saved games never.
TEST(DescribeBytes, DescribesSavedGamesAndScenariosOfEveryEdition)
{
    const std::string labels[] = {"original LMP", "Vortex Jamboree/Extra Marvels", "Quirky Quarters"};
    for (std::int32_t edition = 0; edition <= 2; ++edition) {
        SCOPED_TRACE(edition);
        const std::string version = "   Version: " + labels[edition];
        const Bytes saved = testkit::MakeParkFile(kLakeside, FileType::SavedGame, edition);
        const Bytes scenario = testkit::MakeParkFile(kLakeside, FileType::Scenario, edition);
        EXPECT_EQ(Described("Lakeside.SV4", saved, All()),
                  Result(edition, Concat({{"File Name : Lakeside.SV4", version, "  Scenario: Lakeside Fun"},
                                          kLakesideTail})));
        const Lines head = {kSeparator, "File Name : Lakeside.SC4", version};
        EXPECT_EQ(Described("Lakeside.SC4", scenario, Only(edition, true)),
                  Result(edition, Concat({head, kLakesideScenario, kLakesideTail})));
        for (const std::int32_t other : {(edition + 1) % 3, (edition + 2) % 3})
            EXPECT_EQ(Described("L.SC4", scenario, Only(other)), Result(edition, {})) << other;
    }
}

// 00 41 has the checksum 0x208: the first trailer gives D = +108156, the second D = -108156. The decoded
// byte 41 is the low byte of the month word (month 1, year 8 + 1); everything else reads zero, so all 255
// ride records are unrated rides of type 0.
TEST(DescribeBytes, WorkedSignExamplesDescribeShortParks)
{
    const Bytes plus = {0x00, 0x41, 0x84, 0xA8, 0x01, 0x00}, minus = {0x00, 0x41, 0x8C, 0x5B, 0xFE, 0xFF};
    const Lines tail = {"      Date: April 1, year 9",
                        "    Rating: 0",
                        "      Cash: $0",
                        "    #Rides: 255,  #Stalls: 0",
                        "Avg Excite: 0.00",
                        "Avg Intens: 0.00",
                        "Avg Nausea: 0.00",
                        "   #Guests: 0 ,  #Staff: 0"};
    EXPECT_EQ(Described("w.SV4", plus, All()),
              Result(0, Concat({{"File Name : w.SV4", "   Version: original LMP", "  Scenario: "}, tail})));
    EXPECT_EQ(Described("w.SC4", minus, All()),
              Result(0, Concat({{"File Name : w.SC4", "   Version: original LMP", "  Scenario:   ; slot #0",
                                 "      Goal: ???"},
                                tail})));
    EXPECT_EQ(Described("w.SC4", plus, All()), Result(kNoEdition, {kFailure}));
    EXPECT_EQ(Described("w.SV4", minus, Only(0)), Result(kNoEdition, {kFailure}));
}

TEST(DescribeBytes, ReadsDamagedTrackDesignsWithMatchingChecksumsAsZero)
{
    struct Row {
        const char* name;
        Bytes body;
        std::string type;
    };
    const Row rows[] = {{"ten decoded bytes", {0x09, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "Whoa Belly"},
                        {"empty body", {}, "Wooden Roller Coaster"},
                        {"literal cut off by the end of the file", {0x7F, 5}, "Miniature Railroad"}};
    for (const auto& row : rows)
        EXPECT_EQ(Described("d.TD4", testkit::PackGameFile(row.body, FileType::TrackDesign, 0), All()),
                  Result(0, {"File Name : d.TD4", "   Version: Original LMP", "      Type: " + row.type,
                             "Excitement: 0.00", " Intensity: 0.00", "    Nausea: 0.00",
                             "    Length: 0 ft, (0 meters)"}))
            << row.name;
}

} // namespace
} // namespace lmp
