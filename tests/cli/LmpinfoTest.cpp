#include "cli/Lmpinfo.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/GameFiles.h"

namespace lmp::cli {
namespace {
namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<unsigned> counter{0};
        std::random_device random;
        do {
            path_ = fs::temp_directory_path() /
                    ("lmp-cli-tests-" + std::to_string(random()) + "-" + std::to_string(counter++));
        } while (!fs::create_directory(path_));
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& Path() const noexcept { return path_; }

private:
    fs::path path_;
};

ParseResult Parse(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {"lmpinfo"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    return ParseArguments(static_cast<int>(argv.size()), argv.data());
}

struct AcceptedArguments {
    const char* name;
    std::vector<std::string> args;
    std::optional<std::int32_t> edition;
    bool noSeparator;
    std::optional<std::string> decimalMark;
    std::vector<std::string> paths;
};

TEST(ParseArguments, AcceptsEveryOptionAndKeepsThePathsInOrder)
{
    const AcceptedArguments rows[] = {
        {"one path", {"a.TD4"}, std::nullopt, false, std::nullopt, {"a.TD4"}},
        {"paths in order", {"b.SV4", "a.TD4", "b.SV4"}, std::nullopt, false, std::nullopt, {"b.SV4", "a.TD4", "b.SV4"}},
        {"edition 0", {"--edition", "0", "x"}, 0, false, std::nullopt, {"x"}},
        {"edition 2 with equals", {"--edition=2", "x"}, 2, false, std::nullopt, {"x"}},
        {"edition after the path", {"x", "--edition", "1"}, 1, false, std::nullopt, {"x"}},
        {"no separator", {"--no-separator", "x", "y"}, std::nullopt, true, std::nullopt, {"x", "y"}},
        {"comma", {"--decimal-mark", ",", "x"}, std::nullopt, false, ",", {"x"}},
        {"two-byte character", {"--decimal-mark", "\xC2\xB7", "x"}, std::nullopt, false, "\xC2\xB7", {"x"}},
        {"path after double dash", {"--", "--edition"}, std::nullopt, false, std::nullopt, {"--edition"}},
    };
    for (const AcceptedArguments& row : rows) {
        SCOPED_TRACE(row.name);
        const ParseResult result = Parse(row.args);
        ASSERT_TRUE(result.options.has_value()) << result.text;
        EXPECT_EQ(result.options->edition, row.edition);
        EXPECT_EQ(result.options->noSeparator, row.noSeparator);
        EXPECT_EQ(result.options->decimalMark, row.decimalMark);
        EXPECT_EQ(result.options->paths, row.paths);
    }
}

struct RejectedArguments {
    const char* name;
    std::vector<std::string> args;
    const char* messagePart;
};

TEST(ParseArguments, RejectsUsageErrorsWithExitCodeTwoAndAMessage)
{
    const RejectedArguments rows[] = {
        {"no path", {}, "PATH"},
        {"only options", {"--edition", "1"}, "PATH"},
        {"edition 3", {"--edition", "3", "x"}, "0, 1 or 2"},
        {"edition -1", {"--edition=-1", "x"}, "0, 1 or 2"},
        {"edition word", {"--edition", "one", "x"}, "0, 1 or 2"},
        {"edition without value", {"x", "--edition"}, "edition"},
        {"empty decimal mark", {"--decimal-mark", "", "x"}, "one character"},
        {"two-character decimal mark", {"--decimal-mark", ",,", "x"}, "one character"},
        {"broken UTF-8 decimal mark", {"--decimal-mark", "\xC2", "x"}, "one character"},
        {"unknown option", {"--bogus", "x"}, "bogus"},
    };
    for (const RejectedArguments& row : rows) {
        SCOPED_TRACE(row.name);
        const ParseResult result = Parse(row.args);
        EXPECT_FALSE(result.options.has_value());
        EXPECT_EQ(result.exitCode, kExitUsage);
        EXPECT_NE(result.text.find(row.messagePart), std::string::npos) << result.text;
        EXPECT_NE(result.text.find("--help"), std::string::npos) << result.text;
    }
}

TEST(ParseArguments, HelpExplainsSeparatorsDecimalMarkAndExitCodes)
{
    const ParseResult result = Parse({"--help"});
    EXPECT_FALSE(result.options.has_value());
    EXPECT_EQ(result.exitCode, kExitOk);
    for (const char* part : {"--edition", "--no-separator", "--decimal-mark", "PATH", "LC_NUMERIC", "Exit status",
                             "No such file or folder", "Cannot open file", "folder"}) {
        EXPECT_NE(result.text.find(part), std::string::npos) << part;
    }
}

TEST(IsSingleCharacter, AcceptsOneWellFormedUtf8CharacterOnly)
{
    const struct {
        const char* text;
        bool expected;
    } rows[] = {
        {"", false},
        {".", true},
        {",", true},
        {"ab", false},
        {"\xC2\xB7", true},           // U+00B7 middle dot
        {"\xD9\xAB", true},           // U+066B Arabic decimal separator
        {"\xE2\x80\xA4", true},       // U+2024 one dot leader
        {"\xF0\x9F\x98\x80", true},   // U+1F600
        {"\xC2", false},              // cut off
        {"\xC0\xAE", false},          // overlong "."
        {"\xE0\x80\xAE", false},      // overlong "."
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\x80", false},              // continuation byte alone
        {"\xC2\xB7.", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(IsSingleCharacter(row.text), row.expected);
    }
}

TEST(DecimalMarkOf, FallsBackToAPointWhenTheLocaleGivesNoSingleCharacter)
{
    EXPECT_EQ(DecimalMarkOf(","), ",");
    EXPECT_EQ(DecimalMarkOf("\xD9\xAB"), "\xD9\xAB");
    EXPECT_EQ(DecimalMarkOf(""), ".");
    EXPECT_EQ(DecimalMarkOf(nullptr), ".");
    EXPECT_EQ(DecimalMarkOf("\xAB"), ".");
}

// One file handed to the rule: the edition DescribeFile returned, or a read failure.
struct Step {
    std::int32_t edition;
    bool failed = false;
};

struct SeparatorRow {
    const char* name;
    std::optional<std::int32_t> edition;
    bool never;
    std::vector<Step> steps;
    std::vector<bool> expected;  // WithSeparator for each step
};

TEST(SeparatorRule, GivesWithSeparatorForEachFileInTurn)
{
    const SeparatorRow rows[] = {
        {"all editions: none before the first file", std::nullopt, false, {{0}, {1}, {2}}, {false, true, true}},
        {"all editions: a file of no edition still takes its turn", std::nullopt, false, {{-1}, {0}}, {false, true}},
        {"all editions: a failed file still takes its turn", std::nullopt, false, {{0, true}, {0}}, {false, true}},
        {"one edition: none until a file of it was found", 1, false, {{0}, {-1}, {1}, {2}, {1}},
         {false, false, false, true, true}},
        {"one edition: a failed file finds nothing", 2, false, {{2, true}, {2}, {2}}, {false, false, true}},
        {"no separator with all editions", std::nullopt, true, {{0}, {1}}, {false, false}},
        {"no separator with one edition", 0, true, {{0}, {0}}, {false, false}},
    };
    for (const SeparatorRow& row : rows) {
        SCOPED_TRACE(row.name);
        SeparatorRule rule(row.edition, row.never);
        std::vector<bool> got;
        for (const Step& step : row.steps) {
            got.push_back(rule.Next());
            if (step.failed) {
                rule.Failed();
            } else {
                rule.Described(step.edition);
            }
        }
        EXPECT_EQ(got, row.expected);
    }
}

TEST(DescribeOptionsFor, AcceptsEveryEditionOrOnlyTheChosenOne)
{
    const struct {
        std::optional<std::int32_t> edition;
        bool original, first, second;
    } rows[] = {
        {std::nullopt, true, true, true},
        {0, true, false, false},
        {1, false, true, false},
        {2, false, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edition.value_or(-1));
        Options options;
        options.edition = row.edition;
        const DescribeOptions describe = DescribeOptionsFor(options, ",");
        EXPECT_EQ(describe.acceptOriginal, row.original);
        EXPECT_EQ(describe.acceptFirstExpansion, row.first);
        EXPECT_EQ(describe.acceptSecondExpansion, row.second);
        EXPECT_EQ(describe.decimalMark, ",");
    }
}

void Touch(const fs::path& path)
{
    testkit::WriteFile(path, testkit::Bytes{0});
}

std::vector<std::string> Names(const std::vector<Item>& items)
{
    std::vector<std::string> names;
    for (const Item& item : items) {
        names.push_back(item.problem.empty() ? item.path.filename().string() : item.problem);
    }
    return names;
}

TEST(ExpandPaths, AFolderStandsForItsFilesInNaturalCaseInsensitiveOrder)
{
    TempFolder folder;
    for (const char* name : {"Track 10.TD4", "track 2.TD4", "Track 1.td4", "b.txt", "A.SV4", "x9", "x10"}) {
        Touch(folder.Path() / name);
    }
    fs::create_directory(folder.Path() / "Sub folder");
    Touch(folder.Path() / "Sub folder" / "inner.TD4");
    fs::create_directory(folder.Path() / "folder.TD4");

    const std::vector<Item> items = ExpandPaths({folder.Path().string()});
    const std::vector<std::string> expected = {"A.SV4", "b.txt", "Track 1.td4", "track 2.TD4", "Track 10.TD4",
                                               "x9", "x10"};
    EXPECT_EQ(Names(items), expected);
    for (const Item& item : items) {
        EXPECT_EQ(item.path.parent_path(), folder.Path());
    }
}

TEST(ExpandPaths, KeepsThePathsInOrderAndReportsPathsThatNameNothing)
{
    TempFolder folder;
    const fs::path file = folder.Path() / "one.TD4";
    const fs::path empty = folder.Path() / "empty";
    const fs::path dangling = folder.Path() / "dangling.TD4";
    Touch(file);
    fs::create_directory(empty);
    fs::create_symlink("nowhere", dangling);
    const std::string missing = (folder.Path() / "missing.TD4").string();

    const std::vector<Item> items =
        ExpandPaths({file.string(), missing, empty.string(), dangling.string(), file.string()});
    const std::vector<std::string> expected = {"one.TD4", "No such file or folder: " + missing, "dangling.TD4",
                                               "one.TD4"};
    EXPECT_EQ(Names(items), expected);
}

TEST(RunDescribing, DescribesTheFilesThatExistAndReturnsOneWhenAPathFailed)
{
    TempFolder folder;
    testkit::TrackDesignSpec spec;
    spec.rideType = 5;
    spec.excitement = 12;
    testkit::WriteFile(folder.Path() / "a.TD4", testkit::MakeTrackDesignFile(spec, 2));
    fs::create_symlink("nowhere", folder.Path() / "b.SV4");

    Options options;
    options.paths = {(folder.Path() / "a.TD4").string(), (folder.Path() / "b.SV4").string(),
                     (folder.Path() / "a.TD4").string()};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(lmp::cli::Run(options, ",", out, err), kExitFileError);
    const std::string block = "File Name : a.TD4\n"
                              "   Version: Quirky Quarters\n"
                              "      Type: Miniature Railroad\n"
                              "Excitement: 1,20\n"
                              " Intensity: 0,00\n"
                              "    Nausea: 0,00\n"
                              "    Length: 0 ft, (0 meters)\n";
    EXPECT_EQ(out.str(), block + "-------------------------------\n" + block);
    EXPECT_EQ(err.str(), "Cannot open file " + (folder.Path() / "b.SV4").string() + "\n");
}

TEST(RunDescribing, ReturnsZeroWhenEveryPathWasDescribed)
{
    TempFolder folder;
    Touch(folder.Path() / "notes.txt");
    Options options;
    options.paths = {folder.Path().string()};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(lmp::cli::Run(options, ".", out, err), kExitOk);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace lmp::cli
