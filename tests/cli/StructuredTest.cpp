// The pieces of the structured formats and of -r that the lmpinfo runs cannot show one by one: decimal
// texts, CSV quoting, JSON escaping, the progress line and the recursive order.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "TestSupport.h"
#include "cli/Lmpinfo.h"
#include "cli/Progress.h"
#include "cli/Record.h"
#include "testkit/GameFiles.h"

namespace lmp::cli {
namespace {
namespace fs = std::filesystem;

const std::string kFffd = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

TEST(DecimalText, WritesTheStoredTenthsAndHundredthsAsTheirShortestDecimal)
{
    struct Row {
        std::int64_t units;
        int scale;
        const char* expected;
    };
    const Row rows[] = {{67, 1, "6.7"},
                        {0, 1, "0.0"},
                        {5, 1, "0.5"},
                        {100, 1, "10.0"},
                        {255, 1, "25.5"},
                        {1, 2, "0.01"},
                        {5, 2, "0.05"},
                        {675, 2, "6.75"},
                        {650, 2, "6.5"},
                        {101, 2, "1.01"},
                        {65535, 2, "655.35"},
                        {-12345, 2, "-123.45"},
                        {2000000000, 2, "20000000.0"}};
    for (const auto& row : rows)
        EXPECT_EQ(DecimalText({row.units, row.scale}), row.expected) << row.units << " / 10^" << row.scale;
}

// Every value a rating or average can hold: whole part, point, the decimals without trailing zeros
// but at least one.
TEST(DecimalText, ReadsBackExactlyForEveryStoredRatingAndAverage)
{
    const auto expected = [](std::int64_t units, int scale) {
        std::string decimals = std::to_string(units % (scale == 1 ? 10 : 100));
        decimals.insert(0, static_cast<std::size_t>(scale) - decimals.size(), '0');
        while (decimals.size() > 1 && decimals.back() == '0')
            decimals.pop_back();
        return std::to_string(units / (scale == 1 ? 10 : 100)) + "." + decimals;
    };
    for (std::int64_t tenths = 0; tenths <= 255; ++tenths)
        ASSERT_EQ(DecimalText({tenths, 1}), expected(tenths, 1));
    for (std::int64_t hundredths = 0; hundredths <= 65535; ++hundredths)
        ASSERT_EQ(DecimalText({hundredths, 2}), expected(hundredths, 2));
}

TEST(CsvRow, QuotesFieldsWithCommasQuotesAndLineEndsAndEndsWithCrlf)
{
    struct Row {
        const char* name;
        std::string path, field;
    };
    const Row rows[] = {{"plain", "a.TD4", "a.TD4"},
                        {"blank inside", "Coaster 2.TD4", "Coaster 2.TD4"},
                        {"comma", "1,000 ft.TD4", "\"1,000 ft.TD4\""},
                        {"quote", "say \"hi\".TD4", "\"say \"\"hi\"\".TD4\""},
                        {"line feed", "a\nb.TD4", "\"a\nb.TD4\""},
                        {"carriage return", "a\rb.TD4", "\"a\rb.TD4\""}};
    for (const auto& row : rows) {
        Record record;
        record[Column::Path] = row.path;
        record[Column::Cash] = std::int64_t{-1234};
        // path, then 25 empty fields up to cash, cash, 8 empty fields to the end.
        const std::string expected =
            row.field + std::string(26, ',') + "-1234" + std::string(8, ',') + "\r\n";
        EXPECT_EQ(CsvRow(record), expected) << row.name;
    }
    EXPECT_EQ(CsvHeaderRow().substr(0, 29), "path,file_name,type,edition,e");
    EXPECT_EQ(CsvHeaderRow().substr(CsvHeaderRow().size() - 14), ",staff,error\r\n");
}

TEST(JsonLine, LeavesOutAbsentFieldsAndEscapesWhatJsonCannotHoldAsItIs)
{
    if (!test::kPosix)
        GTEST_SKIP() << "needs POSIX: names that are not UTF-8 or hold a backslash";
    struct Row {
        const char* name;
        fs::path path;
        std::string message, expected;
    };
    const Row rows[] = {
        {"a missing file of no game type", "notes.txt", "No such file or folder: notes.txt",
         R"({"path":"notes.txt","file_name":"notes.txt","type":"other","error":"No such file or folder: notes.txt"})"
         "\n"},
        {"a name that is not UTF-8 in a folder", fs::path("old") / "Caf\xE9.SV4", "Cannot open file x",
         "{\"path\":\"old/Caf" + kFffd + ".SV4\",\"file_name\":\"Caf" + kFffd +
             ".SV4\",\"type\":\"saved game\",\"error\":\"Cannot open file x\"}\n"},
        {"quote, backslash, backslash and n, tab", "a\"b\\c\\n\td.sc4", "m",
         R"({"path":"a\"b\\c\\n\u0009d.sc4","file_name":"a\"b\\c\\n\u0009d.sc4","type":"scenario","error":"m"})"
         "\n"},
        // Every control character and line break is escaped, so no reader splits the record; other
        // characters stay.
        {"C0, DEL, C1, U+2028 and U+2029 among kept characters",
         "\x1B\x7F\xC2\x85\xE2\x80\xA8\xE2\x80\xA9\xC3\xA9.TD4", "a\r\nb\x01\b\f",
         R"({"path":"\u001b\u007f\u0085\u2028\u2029)"
         "\xC3\xA9"
         R"(.TD4","file_name":"\u001b\u007f\u0085\u2028\u2029)"
         "\xC3\xA9"
         R"(.TD4","type":"track design","error":"a\u000d\u000ab\u0001\u0008\u000c"})"
         "\n"}};
    for (const auto& row : rows)
        EXPECT_EQ(JsonLine(ErrorRecord(row.path, row.message)), row.expected) << row.name;
}

TEST(JsonOutput, RepairsANameThatIsNotUtf8AsTheTextDoes)
{
    if (!test::kPosix)
        GTEST_SKIP() << "needs POSIX: names that are not UTF-8";
    const test::TempFolder folder;
    testkit::WriteFile(
        folder / "Caf\xE9.TD4",
        testkit::MakeTrackDesignFile({.rideType = 37, .lengthMetres = 50, .excitement = 12}, 0));
    Options options;
    options.paths = {(folder / "Caf\xE9.TD4").string()};
    std::ostringstream text, json, err;
    EXPECT_EQ(cli::Run(options, ".", text, err), kExitOk);
    options.format = OutputFormat::Json;
    EXPECT_EQ(cli::Run(options, ".", json, err), kExitOk);
    EXPECT_EQ(text.str().substr(0, 25), "File Name : Caf" + kFffd + ".TD4\n  ");
    const std::string name = "\"file_name\":\"Caf" + kFffd + ".TD4\"";
    EXPECT_NE(json.str().find(name), std::string::npos) << json.str();
    // 50 m is 164 ft (164.0); ride type 37 is the ferris wheel.
    EXPECT_NE(json.str().find(R"("ride_type":37,"ride_type_name":"Ferris Wheel","excitement":1.2,)"
                              R"("intensity":0.0,"nausea":0.0,"length_metres":50,"length_feet":164})"),
              std::string::npos)
        << json.str();
}

// Names made to drive a terminal, forge lines or show reordered: the text keeps its eleven lines and
// stderr its one, with U+FFFD for each such character; JSON escapes them.
TEST(Run, ShowsHostileNamesAsTextWithoutControlsAndEscapesThemInJson)
{
    if (!test::kPosix)
        GTEST_SKIP() << "needs POSIX: names holding control characters";
    struct Row {
        const char* name;
        std::string file, park, textFile, textPark, jsonFile, jsonPark;
    };
    const Row rows[] = {{"forged lines", "x\nCash: $1.SV4", "P\r\nCash: $9", "x\uFFFDCash: $1.SV4",
                         "P\uFFFD\uFFFDCash: $9", "x\\u000aCash: $1.SV4", "P\\u000d\\u000aCash: $9"},
                        {"terminal commands", "\x1B]0;t\x07.SV4", "\x1B[2J\x9B\t", "\uFFFD]0;t\uFFFD.SV4",
                         "\uFFFD[2J\uFFFD\uFFFD", "\\u001b]0;t\\u0007.SV4", "\\u001b[2J\\u009b\\u0009"},
                        {"C1 control and line separator", "\xC2\x85\xE2\x80\xA8.SV4", "\x7F\x85",
                         "\uFFFD\uFFFD.SV4", "\uFFFD\uFFFD", "\\u0085\\u2028.SV4", "\\u007f\\u0085"},
                        {"bidirectional controls that reorder the name",
                         "a\xE2\x80\xAE\xE2\x81\xA6\xD8\x9C\xE2\x80\x8FVS.SV4", "Park",
                         "a\uFFFD\uFFFD\uFFFD\uFFFDVS.SV4", "Park", "a\\u202e\\u2066\\u061c\\u200fVS.SV4",
                         "Park"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const test::TempFolder folder;
        testkit::ParkFields park;
        park.name = row.park;
        testkit::WriteFile(folder / row.file, testkit::MakeParkFile(park, FileType::SavedGame, 0));
        Options options;
        options.paths = {(folder / row.file).string(), (folder / ("gone" + row.file)).string()};
        std::ostringstream text, json, err;
        EXPECT_EQ(cli::Run(options, ".", text, err), kExitFileError);
        const std::string lines = text.str();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 11);
        EXPECT_EQ(lines.substr(0, lines.find("\n      Date")),
                  "File Name : " + row.textFile + "\n   Version: original LMP\n  Scenario: " + row.textPark);
        EXPECT_EQ(err.str(), "lmpinfo: No such file or folder: " + folder.Path().string() + "/gone" +
                                 row.textFile + "\n");
        options.format = OutputFormat::Json;
        EXPECT_EQ(cli::Run(options, ".", json, err), kExitFileError);
        const std::string records = json.str();
        EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 2);
        EXPECT_NE(records.find("\"file_name\":\"" + row.jsonFile + "\""), std::string::npos) << records;
        EXPECT_NE(records.find("\"park_name\":\"" + row.jsonPark + "\""), std::string::npos) << records;
    }
}

TEST(ProgressLine, ShowsOnATerminalForMoreThanFiveHundredFilesEveryHundredAndBlanksItself)
{
    const std::string blank34 = "\r" + std::string(34, ' ') + "\r";
    struct Row {
        const char* name;
        bool terminal;
        std::optional<std::size_t> total;
        std::size_t files;
        std::string expected;
    };
    const Row rows[] = {
        {"not a terminal", false, 1000, 1000, ""},
        {"exactly five hundred files", true, 500, 500, ""},
        {"501 files", true, 501, 501,
         "\rlmpinfo: 0 of 501 files examined\rlmpinfo: 100 of 501 files examined"
         "\rlmpinfo: 200 of 501 files examined\rlmpinfo: 300 of 501 files examined"
         "\rlmpinfo: 400 of 501 files examined\rlmpinfo: 500 of 501 files examined" +
             blank34},
        {"total not known, five hundred files", true, std::nullopt, 500, ""},
        {"total not known, 601 files", true, std::nullopt, 601,
         "\rlmpinfo: 500 files examined\rlmpinfo: 600 files examined\r" + std::string(27, ' ') + "\r"}};
    for (const auto& row : rows) {
        std::ostringstream err;
        {
            ProgressLine progress(err, row.terminal, row.total);
            for (std::size_t examined = 0; examined < row.files; ++examined)
                progress.Examined(examined);
        }
        EXPECT_EQ(err.str(), row.expected) << row.name;
    }
}

TEST(ProgressLine, GroupsThousandsAndHidesBeforeOtherTextOnlyWhenShown)
{
    std::ostringstream err;
    ProgressLine progress(err, true, 1234);
    progress.Hide();
    EXPECT_EQ(err.str(), "");
    progress.Examined(1200);
    progress.Examined(1201);
    EXPECT_EQ(err.str(), "\rlmpinfo: 1,200 of 1,234 files examined");
    progress.Hide();
    progress.Hide();
    EXPECT_EQ(err.str(), "\rlmpinfo: 1,200 of 1,234 files examined\r" + std::string(38, ' ') + "\r");
}

TEST(ExpandPaths, RecursiveGivesAFoldersFilesThenEachSubfolderInFileListOrderWithoutFollowingLinks)
{
    if (!test::kPosix)
        GTEST_SKIP() << "needs POSIX: symbolic links to folders and files";
    const test::TempFolder folder;
    const fs::path top = folder / "top";
    for (const char* sub : {"b", "a/x10", "a/x9", "empty"})
        fs::create_directories(top / sub);
    for (const char* name : {"z.TD4", "b/1.SV4", "a/x10/deep.SC4", "a/x9/nine.TD4", "a/A file", "Y.txt"})
        testkit::WriteFile(top / name, testkit::Bytes{0});
    fs::create_directory_symlink("..", top / "a" / "up"); // a loop back to top
    fs::create_directory_symlink("b", top / "link to b"); // b would come twice
    fs::create_symlink("z.TD4", top / "link to z.TD4");   // files behind links are still files

    std::vector<std::string> items;
    for (const Item& item : ExpandPaths({top.string(), (top / "b").string()}, true))
        items.push_back(item.problem.empty() ? item.path.lexically_relative(top).generic_string()
                                             : item.problem);
    EXPECT_EQ(items, (std::vector<std::string>{"link to z.TD4", "Y.txt", "z.TD4", "a/A file", "a/x9/nine.TD4",
                                               "a/x10/deep.SC4", "b/1.SV4", "b/1.SV4"}));

    std::vector<std::string> flat;
    for (const Item& item : ExpandPaths({top.string()}, false))
        flat.push_back(item.path.lexically_relative(top).generic_string());
    EXPECT_EQ(flat, (std::vector<std::string>{"link to z.TD4", "Y.txt", "z.TD4"}));
}

} // namespace
} // namespace lmp::cli
