#include "core/Query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/GameFiles.h"

namespace lmp {
namespace {

namespace kit = testkit;

struct File {
    const char* name;
    std::uint64_t size;
    kit::Bytes bytes;
};

kit::ParkFields Park(const char* name, std::uint16_t rating, std::int32_t cash, std::uint16_t guests,
                     std::vector<kit::RideFields> rides, int staff)
{
    kit::ParkFields park;
    park.name = name;
    park.rating = rating;
    park.cash = cash;
    park.guests = guests;
    park.rides = std::move(rides);
    park.staff = staff;
    return park;
}

// Files a to h. Lengths 300, 1000 and 50 metres show as 984, 3,280 and 164 ft; cash in tenths shows as
// $12,345, $-5 and $1,000; "For\xCAt" is Latin-1 for ForÊt.
class QueryTest : public testing::Test {
protected:
    const std::vector<File> files_ = {
        {"Wooden.TD4", 1000, kit::MakeTrackDesignFile({0, false, 300, 72, 55, 40}, 0)},
        {"Looper.td4", 2500, kit::MakeTrackDesignFile({15, false, 1000, 85, 91, 63}, 1)},
        {"Kiddie Coaster.TD4", 900, kit::MakeTrackDesignFile({4, false, 50, 30, 10, 5}, 2)},
        {"Harbour.SV4", 300'000,
         kit::MakeParkFile(Park("Harbour Heights", 650, 123456, 1500, {{0}, {0}, {0}, {28}, {28}}, 4),
                           FileType::SavedGame, 0)},
        {"Foret.SC4", 250'000,
         kit::MakeParkFile(Park("For\xCAt Noire", 999, -55, 0, {}, 0), FileType::Scenario, 1)},
        {"Coaster Park.SC4", 1'000'000,
         kit::MakeParkFile(Park("Coaster Kingdom", 800, 10005, 2000, {{0}}, 12), FileType::Scenario, 2)},
        {"Wooden.TP4", 4000, kit::Bytes(4000, 7)},
        {"Broken.TD4", 1000, kit::MakeTrackDesignFile({0, false, 300, 99, 99, 99}, kNoEdition)},
    };
    std::vector<GameDetails> details_;

    void SetUp() override
    {
        for (const File& file : files_)
            details_.push_back(GameDetails::Of(DescribeBytes(file.name, file.bytes, {})));
    }

    // The letters of the files the query matches, checking on the way that what the name and size
    // alone decide agrees.
    std::string Matching(const Query& query) const
    {
        std::string letters;
        for (std::size_t i = 0; i < files_.size(); ++i) {
            const bool matches = query.Matches({files_[i].name, files_[i].size, &details_[i]});
            if (matches)
                letters += static_cast<char>('a' + i);
            const std::optional<bool> early = query.MatchesWithoutDetails(files_[i].name, files_[i].size);
            EXPECT_TRUE(!early || *early == matches) << files_[i].name;
            EXPECT_TRUE(query.NeedsDetails() || early) << files_[i].name;
        }
        return letters;
    }
};

TEST_F(QueryTest, TermsMatchTheFilesWhoseNamesColumnsAndLinesHoldThem)
{
    struct Row {
        const char* query;
        const char* files;
        bool needsDetails;
    };
    const Row rows[] = {
        {"", "abcdefgh", false},
        {"coaster", "abcf", true},
        {"\"wooden roller\"", "a", true},
        {"  wooden\t", "ag", true},
        {"harbour heights", "d", true},
        {"excitement>7.2", "b", true},
        {"Excitement>=7.2", "ab", true},
        {"excitement>7,15", "ab", true},
        {"excitement>1,000", "abc", true},
        {"excitement=7.20 excitement=7.2000000000000000000", "a", true},
        {"excitement=7.25", "", true},
        {"excitement<7.2000000000000000001 excitement>7.1999999999999999999", "a", true},
        {"excitement<3", "", true},
        {"excitement<=3", "c", true},
        {"excitement>=0", "abc", true},
        {"intensity>9 nausea<6.5", "b", true},
        {"length>=984", "ab", true},
        {"length>1,000ft length<3,281", "b", true},
        {"rating>=800", "ef", true},
        {"guests>=1,000", "df", true},
        {"guests>1500", "f", true},
        {"guests=0", "e", true},
        {"cash>=$1,000", "df", true},
        {"cash>1000", "d", true},
        {"cash=-5 cash<0", "e", true},
        {"cash>-$6 cash<-4.5", "e", true},
        {"rides=3 stalls=2 staff=4", "d", true},
        {"staff>10", "f", true},
        {"rides<1", "e", true},
        {"size>=1,000,000", "f", false},
        {"size<1000", "c", false},
        {"size:1000", "ah", false},
        {"size<99999999999999999999999 size>-99999999999999999999999", "abcdefgh", false},
        {"size>99999999999999999999999", "", false},
        {"edition:0", "ad", true},
        {"edition:original", "ad", true},
        {"edition:VJEM", "be", true},
        {"edition=vj/em", "be", true},
        {"edition:QQ", "cf", true},
        {"type:td4", "abch", false},
        {"TYPE:.SC4", "ef", false},
        {"type:tp4", "g", false},
        {"ride:\"wooden roller\"", "a", true},
        {"ride:coaster", "abc", true},
        {"ride=\"steel roller coaster\"", "b", true},
        {"park:coaster", "f", true},
        {"park:forêt", "e", true},
        {"park=\"harbour heights\"", "d", true},
        {"park=harbour", "", true},
        {"name:*coaster*", "cf", false},
        {"name:\"kiddie coaster.td4\"", "c", false},
        {"name:?ooden.t?4", "ag", false},
        {"name:*.sc4", "ef", false},
        {"name:*o*o*", "abg", false},
        {"name:\"coaster*.td4\"", "", false},
        {"coaster type:sc4 guests>1000", "f", true},
        {"type:td4 excitement>7", "ab", true},
        {"C3PO:x wow!", "", true}, // words: no field name before an operator
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query);
        const Query query(row.query);
        EXPECT_EQ(Matching(query), row.files);
        EXPECT_EQ(query.NeedsDetails(), row.needsDetails);
    }
}

TEST_F(QueryTest, NameAndSizeDecideWhatTheyCanBeforeAnyReading)
{
    const Query query("type:td4 excitement>7");
    EXPECT_EQ(query.MatchesWithoutDetails("Harbour.SV4", 1), false);
    EXPECT_EQ(query.MatchesWithoutDetails("Wooden.TD4", 1), std::nullopt);
    EXPECT_EQ(Query("excitement>0").MatchesWithoutDetails("Wooden.TP4", 1), false);
    EXPECT_EQ(Query("wooden").MatchesWithoutDetails("Wooden.TP4", 1), true);
    EXPECT_EQ(Query("coaster").MatchesWithoutDetails("a.TD4", 1), std::nullopt);
    EXPECT_TRUE(Query("excitement>=0").Matches({"Wooden.TD4", 1, &details_[0]}));
    EXPECT_FALSE(Query("excitement>=0").Matches({"Wooden.TD4", 1, nullptr}));
}

TEST(QueryErrorTest, EachUnreadableQueryGetsOneMessageThatPointsAtItsTerm)
{
    const std::string fields =
        "; the fields are name, type, size, edition, ride, park, excitement, intensity, "
        "nausea, length, rating, guests, cash, rides, stalls, staff";
    struct Row {
        std::string query;
        std::string message;
        std::size_t position;
        std::size_t length;
    };
    const Row rows[] = {
        {"exitement>7", "unknown field 'exitement' (did you mean 'excitement'?)", 0, 11},
        {"coaster Guest>=1", "unknown field 'Guest' (did you mean 'guests'?)", 8, 8},
        {"exc>7", "unknown field 'exc' (did you mean 'excitement'?)", 0, 5},
        {"colour!=red", "unknown field 'colour'" + fields, 0, 11},
        {"excitement!=7", "unknown operator '!=' in 'excitement!=7'", 0, 13},
        {"coaster foo:1", "unknown field 'foo'" + fields, 8, 5},
        {"excitement>", "'excitement>' needs a number after '>'", 0, 11},
        {"ride:", "'ride:' needs a value after ':'", 0, 5},
        {"ride:\"\"", "'ride:\"\"' needs a value after ':'", 0, 7},
        {"type:.", "'type:.' needs a value after the dot", 0, 6},
        {"guests>=1,00",
         "'1,00' is not a number in 'guests>=1,00' (a comma groups thousands here, as in 1,000)", 0, 12},
        {"guests>1000,000",
         "'1000,000' is not a number in 'guests>1000,000' (a comma groups thousands here, "
         "as in 1,000)",
         0, 15},
        {"  coaster  length<=ten", "'ten' is not a number in 'length<=ten'", 11, 11},
        {"excitement>7.2.5", "'7.2.5' is not a number in 'excitement>7.2.5'", 0, 16},
        {"size>1e5", "'1e5' is not a number in 'size>1e5'", 0, 8},
        {"size>7.", "'7.' is not a number in 'size>7.'", 0, 7},
        {"cash>$", "'$' is not a number in 'cash>$'", 0, 6},
        {"size>\x1b[2J", "'\xEF\xBF\xBD[2J' is not a number in 'size>\xEF\xBF\xBD[2J'", 0, 9},
        {"edition>1", "edition takes ':' or '=', not '>', in 'edition>1'", 0, 9},
        {"edition:3", "unknown edition '3' in 'edition:3' (0 or original, 1 or VJEM, 2 or QQ)", 0, 9},
        {"excitement=>5", "unknown operator '=>' in 'excitement=>5'", 0, 13},
        {"a ride:\"wooden roller", "unclosed quote in 'ride:\"wooden roller'", 2, 19},
        {"\"a\"b c", "nothing may follow the closing quote in '\"a\"b'", 0, 4},
        {">5", "no field before '>' in '>5'", 0, 2},
        {"\"\"", "empty phrase in '\"\"'", 0, 2},
        {std::string(100'000, 'a') + ":1", "unknown field '" + std::string(37, 'a') + "...'" + fields, 0,
         100'002},
        {"\"" + std::string(99'999, 'x'), "unclosed quote in '\"" + std::string(36, 'x') + "...'", 0,
         100'000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query.substr(0, 40));
        try {
            Query query(row.query);
            ADD_FAILURE() << "read without an error";
        } catch (const QueryError& error) {
            EXPECT_EQ(error.what(), row.message);
            EXPECT_EQ(error.Position(), row.position);
            EXPECT_EQ(error.Length(), row.length);
        }
    }
}

TEST_F(QueryTest, AQueryOfAHundredThousandCharactersIsReadAndMatched)
{
    std::string text;
    while (text.size() < 100'000)
        text += "coaster ";
    EXPECT_EQ(Matching(Query(text)), "abcf");
    EXPECT_EQ(Matching(Query("name:" + std::string(50'000, '*') + "t*d4")), "abch");
}

} // namespace
} // namespace lmp
