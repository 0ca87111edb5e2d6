#include "core/GameDetails.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "testkit/BenchFiles.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

// The value a pane line shows for a column: the text after its label, up to the end or a cut-off.
struct LineValue {
    DetailColumn column;
    std::string_view label;
    std::string_view until; // empty: to the end of the line; else up to its last occurrence
};
constexpr LineValue kLineValues[] = {
    {DetailColumn::RideOrPark, "      Type: ", ""},
    {DetailColumn::Excitement, "Excitement: ", ""},
    {DetailColumn::Intensity, " Intensity: ", ""},
    {DetailColumn::Nausea, "    Nausea: ", ""},
    {DetailColumn::Length, "    Length: ", ", ("},
    {DetailColumn::Rating, "    Rating: ", ""},
    {DetailColumn::Guests, "   #Guests: ", " ,"},
    {DetailColumn::Cash, "      Cash: ", ""},
    {DetailColumn::RideOrPark, "  Scenario: ", "  ; slot #"},
};

std::string PaneValue(const Lines& lines, DetailColumn column)
{
    for (const LineValue& value : kLineValues) {
        if (value.column != column)
            continue;
        for (const std::string& line : lines) {
            if (!line.starts_with(value.label))
                continue;
            const std::string rest = line.substr(value.label.size());
            return value.until.empty() ? rest : rest.substr(0, rest.rfind(value.until));
        }
    }
    return {};
}

// Every cell shows what the pane shows for that file, and is blank exactly where the pane has no line.
TEST(GameDetailsTest, CellsAreThePanesValuesForEveryKindOfFile)
{
    testkit::ParkFields slotted;
    slotted.name = "Slot #9  ; slot #2";
    slotted.slot = 2;
    slotted.rating = 999;
    slotted.cash = -55;
    struct Row {
        const char* name;
        testkit::Bytes bytes;
        const char* edition;
    };
    const Row rows[] = {
        {"a.TD4", testkit::RealisticTrackDesignFile(0, 1), "Original"},
        {"b.td4", testkit::RealisticTrackDesignFile(1, 2), "VJ/EM"},
        {"c.TD4", testkit::RealisticTrackDesignFile(2, 3), "QQ"},
        {"d.SV4", testkit::RealisticParkFile(FileType::SavedGame, 0, 4), "Original"},
        {"e.SC4", testkit::RealisticParkFile(FileType::Scenario, 1, 5), "VJ/EM"},
        {"f.SC4", testkit::MakeParkFile(slotted, FileType::Scenario, 2), "QQ"},
        {"g.SV4", testkit::MakeParkFile(slotted, FileType::SavedGame, kNoEdition), ""},
        {"h.TD4", testkit::MakeTrackDesignFile({}, kNoEdition), ""},
        {"i.TXT", testkit::RealisticTrackDesignFile(0, 1), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const std::string_view mark : {".", ","}) {
            const Description description =
                DescribeBytes(row.name, row.bytes, {.decimalMark = std::string(mark)});
            const GameDetails details = GameDetails::Of(description);
            EXPECT_EQ(details.Text(DetailColumn::Edition, mark), row.edition);
            for (std::size_t i = 1; i < kDetailColumnCount; ++i) {
                const auto column = static_cast<DetailColumn>(i);
                EXPECT_EQ(details.Text(column, mark), PaneValue(description.lines, column))
                    << DetailColumnTitle(column);
            }
        }
    }
    const Description slottedScenario =
        DescribeBytes("s.SC4", testkit::MakeParkFile(slotted, FileType::Scenario, 0), {});
    EXPECT_EQ(GameDetails::Of(slottedScenario).Text(DetailColumn::RideOrPark, "."), slotted.name);
}

TEST(GameDetailsTest, SortsNumbersAsNumbersNamesNaturallyAndBlanksLastEitherWay)
{
    const auto design = [](std::uint8_t excitement, std::uint16_t metres, std::int32_t edition) {
        return GameDetails::Of(DescribeBytes(
            "t.TD4",
            testkit::MakeTrackDesignFile({.lengthMetres = metres, .excitement = excitement}, edition), {}));
    };
    const auto park = [](const char* name, std::int32_t cash) {
        testkit::ParkFields fields;
        fields.name = name;
        fields.cash = cash;
        return GameDetails::Of(
            DescribeBytes("p.SV4", testkit::MakeParkFile(fields, FileType::SavedGame, 0), {}));
    };
    // Excitement 10.00 after 9.00 (not as text), and negative cash before positive.
    const std::vector<GameDetails> files = {design(100, 30, 1),  design(90, 300, 0),  design(5, 3, 2),
                                            park("Park 10", 20), park("park 9", -10), GameDetails()};
    struct Row {
        DetailColumn column;
        bool descending;
        std::vector<std::size_t> order; // indexes into files
    };
    const Row rows[] = {
        {DetailColumn::Excitement, false, {2, 1, 0, 3, 4, 5}},
        {DetailColumn::Excitement, true, {0, 1, 2, 3, 4, 5}},
        {DetailColumn::Length, false, {2, 0, 1, 3, 4, 5}},
        {DetailColumn::Cash, false, {4, 3, 0, 1, 2, 5}},
        {DetailColumn::Cash, true, {3, 4, 0, 1, 2, 5}},
        {DetailColumn::Edition, true, {2, 0, 1, 3, 4, 5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << DetailColumnTitle(row.column) << (row.descending ? " descending" : ""));
        std::vector<std::size_t> order = {0, 1, 2, 3, 4, 5};
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return CompareDetails(&files[a], &files[b], row.column, row.descending) < 0;
        });
        EXPECT_EQ(order, row.order);
    }
    EXPECT_LT(CompareDetails(&files[4], &files[3], DetailColumn::RideOrPark, false),
              0); // "park 9" < "Park 10"
    EXPECT_GT(CompareDetails(nullptr, &files[3], DetailColumn::RideOrPark, true), 0);
}

TEST(DetailsCacheTest, HitsOnlyForTheSameStampAndDropsTheLeastRecentlyUsed)
{
    DetailsCache cache(2);
    const GameDetails original =
        GameDetails::Of(DescribeBytes("a.TD4", testkit::RealisticTrackDesignFile(0, 1), {}));
    const FileStamp stamp{.size = 10, .modifiedNs = 1'000'000'001, .inode = 7};
    cache.Store("a.TD4", stamp, original);
    cache.Store("b.TD4", stamp, GameDetails());
    ASSERT_NE(cache.Find("a.TD4", stamp), nullptr);
    EXPECT_EQ(cache.Find("a.TD4", stamp)->Text(DetailColumn::Edition, "."), "Original");
    for (const FileStamp changed :
         {FileStamp{11, stamp.modifiedNs, 7}, FileStamp{10, stamp.modifiedNs + 1, 7},
          FileStamp{10, stamp.modifiedNs, 8}})
        EXPECT_EQ(cache.Find("a.TD4", changed), nullptr);
    // a was used after b, so b goes when c comes.
    cache.Store("c.TD4", stamp, GameDetails());
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Find("b.TD4", stamp), nullptr);
    EXPECT_NE(cache.Find("a.TD4", stamp), nullptr);
    // Storing again for a new stamp replaces the entry.
    cache.Store("a.TD4", FileStamp{1, 1, 1}, GameDetails());
    EXPECT_EQ(cache.Find("a.TD4", stamp), nullptr);
    EXPECT_EQ(cache.Find("a.TD4", FileStamp{1, 1, 1})->Text(DetailColumn::Edition, "."), "");
    // By a folder's number and a name, the same entries as by path; taken, an entry is gone.
    const std::uint32_t parks = cache.Folder("parks");
    cache.Store(parks, "d.TD4", stamp, original);
    EXPECT_NE(cache.Find("parks/d.TD4", stamp), nullptr);
    EXPECT_EQ(cache.Find(cache.Folder("other"), "d.TD4", stamp), nullptr);
    EXPECT_FALSE(cache.Take(parks, "d.TD4", FileStamp{1, 1, 1}));
    ASSERT_TRUE(cache.Take(parks, "d.TD4", stamp));
    EXPECT_EQ(cache.Find(parks, "d.TD4", stamp), nullptr);
}

} // namespace
} // namespace lmp
