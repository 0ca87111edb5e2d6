// What the lmpinfo runs in CMakeLists.txt cannot show: the separator rule step by step, which decimal
// marks are taken, the order in which paths and folders expand, and how path lists are read.
#include "cli/Lmpinfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TestSupport.h"
#include "cli/PathList.h"
#include "testkit/GameFiles.h"

namespace lmp::cli {
namespace {
namespace fs = std::filesystem;

using namespace std::string_literals;

constexpr std::int32_t kUnreadable = -2; // a file that could not be read, in the rows below

// Each entry of the list: its path, or "!" and the problem in its place.
std::vector<std::string> Entries(PathList& list)
{
    std::vector<std::string> entries;
    while (std::optional<ListedPath> entry = list.Next())
        entries.push_back(entry->problem.empty() ? entry->path : "!" + entry->problem);
    return entries;
}

// A stream whose reads fail once its text is used up, as a file's do on a disk error.
class FailingBuffer : public std::stringbuf {
public:
    using std::stringbuf::stringbuf;

protected:
    int_type underflow() override
    {
        const int_type next = std::stringbuf::underflow();
        if (traits_type::eq_int_type(next, traits_type::eof()))
            throw std::ios_base::failure("read error");
        return next;
    }
};

TEST(SeparatorRule, GivesWithSeparatorForEachFileInTurn)
{
    // For each file in turn the edition it turned out to have, and whether it got a separator.
    struct Row {
        const char* name;
        std::optional<std::int32_t> edition;
        bool never;
        std::vector<int> files;
        std::vector<bool> expected;
    };
    const Row rows[] = {
        {"every edition: none before the first file", std::nullopt, false, {0, 1, 2}, {false, true, true}},
        {"every edition: a file of none takes its turn", std::nullopt, false, {-1, 0}, {false, true}},
        {"every edition: an unreadable file takes its turn",
         std::nullopt,
         false,
         {kUnreadable, 0},
         {false, true}},
        {"one edition: none until a file of it was found",
         1,
         false,
         {0, -1, 1, 2, 1},
         {false, false, false, true, true}},
        {"one edition: an unreadable file finds none", 2, false, {kUnreadable, 2, 2}, {false, false, true}},
        {"no separator with every edition", std::nullopt, true, {0, 1}, {false, false}},
        {"no separator with one edition", 0, true, {0, 0}, {false, false}}};
    for (const auto& row : rows) {
        SeparatorRule rule(row.edition, row.never);
        std::vector<bool> given;
        for (const std::int32_t edition : row.files) {
            given.push_back(rule.Next());
            edition == kUnreadable ? rule.Failed() : rule.Described(edition);
        }
        EXPECT_EQ(given, row.expected) << row.name;
    }
}

TEST(DecimalMarkOf, KeepsOneWellFormedUtf8CharacterAndFallsBackToAPoint)
{
    struct Row {
        const char* text;
        bool single;
    };
    const Row rows[] = {{"", false},
                        {".", true},
                        {",", true},
                        {"ab", false},
                        {"\xC2\xB7.", false},
                        {"\xC2\xB7", true},
                        {"\xD9\xAB", true}, // U+00B7 middle dot, U+066B
                        {"\xE2\x80\xA4", true},
                        {"\xF0\x9F\x98\x80", true}, // U+2024 one dot leader, U+1F600
                        {"\xC2", false},
                        {"\x80", false}, // cut off, continuation byte alone
                        {"\xC0\xAE", false},
                        {"\xE0\x80\xAE", false}, // overlong "."
                        {"\xED\xA0\x80", false},
                        {"\xF4\x90\x80\x80", false}}; // surrogate, above U+10FFFF
    for (const auto& row : rows) {
        EXPECT_EQ(IsSingleCharacter(row.text), row.single) << row.text;
        EXPECT_EQ(DecimalMarkOf(row.text), row.single ? row.text : ".") << row.text;
    }
    EXPECT_EQ(DecimalMarkOf(nullptr), ".");
}

// Characters that would make a number misread, or act on the terminal, are usage errors that name the
// value without showing it raw; a locale that gives one falls back to ".".
TEST(DecimalMarkOption, RefusesADigitABlankAndAControlCharacterAsAUsageErrorNamingIt)
{
    struct Row {
        std::string value, problem; // empty when the mark is taken
    };
    const std::string kDigit = "the decimal mark cannot be a digit, not ";
    const std::string kBlank = "the decimal mark cannot be a blank, not ";
    const std::string kControl = "the decimal mark cannot be a control character, not ";
    // U+066B Arabic decimal separator, U+200B zero-width space, U+202E right-to-left override.
    const Row rows[] = {{",", ""},
                        {":", ""},
                        {"\xD9\xAB", ""},
                        {"0", kDigit + "'0'"},
                        {"9", kDigit + "'9'"},
                        {" ", kBlank + "U+0020"},
                        {"\xE2\x80\x8B", kBlank + "U+200B"},
                        {"\x1B", kControl + "U+001B"},
                        {"\xE2\x80\xAE", kControl + "U+202E"},
                        {"a\x1B", "the decimal mark is one character, not 'a\uFFFD'"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.problem);
        const char* argv[] = {"lmpinfo", "--decimal-mark", row.value.c_str(), "a.TD4"};
        const ParseResult result = ParseArguments(4, argv);
        if (row.problem.empty()) {
            ASSERT_TRUE(result.options.has_value());
            EXPECT_EQ(result.options->decimalMark, row.value);
        } else {
            EXPECT_FALSE(result.options.has_value());
            EXPECT_EQ(result.exitCode, kExitUsage);
            EXPECT_EQ(result.text.substr(0, result.text.find('\n')),
                      "lmpinfo: --decimal-mark: " + row.problem);
        }
        EXPECT_EQ(DecimalMarkOf(row.value.c_str()), row.problem.empty() ? row.value : ".");
    }
}

// A folder stands for the regular files directly in it in natural, case-insensitive order; a path that
// names nothing is reported in its place; a link that leads nowhere is still a file to read.
TEST(ExpandPaths, KeepsThePathsInOrderAndAFolderStandsForItsFilesInFileListOrder)
{
    if (!test::kPosix)
        GTEST_SKIP() << "needs POSIX: symbolic links";
    const test::TempFolder folder;
    const fs::path dir = folder / "dir";
    fs::create_directories(dir / "Sub folder");
    fs::create_directories(dir / "folder.TD4");
    fs::create_directories(folder / "empty");
    for (const char* name : {"Track 10.TD4", "track 2.TD4", "Track 1.td4", "b.txt", "A.SV4", "x9", "x10",
                             "Sub folder/inner.TD4"})
        testkit::WriteFile(dir / name, testkit::Bytes{0});
    fs::create_symlink("nowhere", folder / "dangling.TD4");
    const std::string x9 = (dir / "x9").string(), missing = (folder / "missing.TD4").string();

    std::vector<std::string> items;
    for (const Item& item : ExpandPaths({x9, dir.string(), missing, (folder / "empty").string(),
                                         (folder / "dangling.TD4").string(), x9}))
        items.push_back(item.problem.empty() ? item.path.lexically_relative(folder.Path()).generic_string()
                                             : item.problem);
    EXPECT_EQ(items,
              (std::vector<std::string>{"dir/x9", "dir/A.SV4", "dir/b.txt", "dir/Track 1.td4",
                                        "dir/track 2.TD4", "dir/Track 10.TD4", "dir/x9", "dir/x10",
                                        "No such file or folder: " + missing, "dangling.TD4", "dir/x9"}));
}

TEST(PathList, GivesOneEntryAtATimeSkippingEmptyOnesAndReportingWhatCannotBeAPath)
{
    const std::string longest(kMaxListedPathBytes, 'x');
    const std::string nul = "!Path list L, line 1: holds a NUL byte (a NUL-separated list needs --null)";
    struct Row {
        const char* name;
        std::string list;
        bool nullSeparated;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"empty list", "", false, {}},
        {"empty lines skipped, the last line without its end", "\n\na\n\nb", false, {"a", "b"}},
        {"CRLF: the CR at a line's end dropped", "a\r\n\r\nb\r\r\nc\rd\r", false, {"a", "b\r", "c\rd"}},
        {"a NUL byte in a line", "a\0b\nc\n"s, false, {nul, "c"}},
        {"NUL-separated: line ends belong to the path", "a\nb\0\0c\r\n\0d"s, true, {"a\nb", "c\r\n", "d"}},
        {"the longest path, CRLF", longest + "\r\n", false, {longest}},
        {"one byte more", longest + "x\r\nz", false, {"!Path list L, line 1: longer than 131072 bytes", "z"}},
        {"NUL-separated entries counted, empty ones too",
         "\0"s + longest + "x\0z"s,
         true,
         {"!Path list L, entry 2: longer than 131072 bytes", "z"}}};
    for (const auto& row : rows) {
        std::istringstream in(row.list);
        PathList list(in, "L", row.nullSeparated);
        EXPECT_EQ(Entries(list), row.expected) << row.name;
    }
}

TEST(PathList, AFailedReadIsAProblemThatEndsTheListWithoutItsCutOffEntry)
{
    FailingBuffer buffer("a\nb");
    std::istream in(&buffer);
    PathList list(in, "L", false);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "!Cannot read path list L"}));
}

TEST(ItemSource, GivesTheGivenItemsThenReadsTheListOnlyAsFarAsItsItemsAreTaken)
{
    const test::TempFolder folder;
    fs::create_directories(folder / "dir");
    for (const char* name : {"given", "a.TD4", "dir/c.TD4", "dir/b.TD4"})
        testkit::WriteFile(folder / name, testkit::Bytes{0});
    const std::string lineA = (folder / "a.TD4").string() + "\n", lineDir = (folder / "dir").string() + "\n",
                      missing = (folder / "missing").string();
    std::istringstream in(lineA + "\n" + lineDir + missing);
    PathList list(in, "L", false);
    ItemSource source({(folder / "given").string()}, &list, false);
    EXPECT_EQ(source.Total(), std::nullopt);

    std::vector<std::string> items;
    std::vector<std::streamoff> read; // how far the list was read when each item came
    while (const std::optional<Item> item = source.Next()) {
        items.push_back(item->problem.empty() ? item->path.lexically_relative(folder.Path()).generic_string()
                                              : item->problem);
        read.push_back(in.tellg());
    }
    EXPECT_EQ(items, (std::vector<std::string>{"given", "a.TD4", "dir/b.TD4", "dir/c.TD4",
                                               "No such file or folder: " + missing}));
    const auto a = static_cast<std::streamoff>(lineA.size()),
               dir = static_cast<std::streamoff>(lineDir.size());
    EXPECT_EQ(read, (std::vector<std::streamoff>{0, a, a + 1 + dir, a + 1 + dir,
                                                 a + 1 + dir + static_cast<std::streamoff>(missing.size())}));
    // Without a list the total is known once the last path has been expanded: the folder listed.
    ItemSource paths({(folder / "a.TD4").string(), (folder / "dir").string()}, nullptr, false);
    std::vector<std::optional<std::size_t>> totals;
    while (paths.Next())
        totals.push_back(paths.Total());
    EXPECT_EQ(totals, (std::vector<std::optional<std::size_t>>{std::nullopt, 3U, 3U}));
}

TEST(Run, EndsAtTheFirstFailedWriteWithoutReadingTheOtherFiles)
{
    // A reader that went away, where no SIGPIPE ends the process: every write fails.
    struct ClosedPipe : std::streambuf {
        int_type overflow(int_type) override { return traits_type::eof(); }
    } closed;
    std::ostream out(&closed);
    std::ostringstream err;
    const test::TempFolder folder;
    testkit::WriteFile(folder / "a.TD4", testkit::MakeTrackDesignFile({.rideType = 37}, 0));
    Options options;
    options.paths = {(folder / "a.TD4").string(), (folder / "missing.TD4").string()};
    EXPECT_EQ(cli::Run(options, ".", out, err), kExitFileError);
    EXPECT_EQ(err.str(), "lmpinfo: cannot write to standard output\n");
}

#ifndef _WIN32
// A path list still being written: each description is out (flushed) once it is done, while the writer
// of the list still holds it open.
TEST(Run, APathListStillBeingWrittenGetsEachDescriptionOnceItIsDone)
{
    // Output that a reader sees only when it is flushed, as a pipe's.
    struct FlushedText : std::stringbuf {
        std::mutex mutex;
        std::condition_variable flushed;
        std::string seen;
        int sync() override
        {
            const std::lock_guard lock(mutex);
            seen = str();
            flushed.notify_all();
            return 0;
        }
    } sink;
    std::ostream out(&sink);
    std::ostringstream err;
    const test::TempFolder folder;
    testkit::WriteFile(folder / "a.TD4", testkit::MakeTrackDesignFile({.rideType = 37}, 0));
    testkit::WriteFile(folder / "b.TD4", testkit::MakeTrackDesignFile({.rideType = 12}, 0));
    const fs::path fifo = folder / "list";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Options options;
    options.filesFrom = fifo.string();
    int exitCode = -1;
    std::thread run([&] { exitCode = cli::Run(options, ".", out, err); });
    const int list = ::open(fifo.c_str(), O_WRONLY); // once Run has opened it
    for (const char* name : {"a.TD4", "b.TD4"}) {
        const std::string line = (folder / name).string() + "\n";
        EXPECT_EQ(::write(list, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::unique_lock lock(sink.mutex);
        EXPECT_TRUE(sink.flushed.wait_for(
            lock, std::chrono::seconds(20),
            [&] { return sink.seen.find("File Name : "s + name) != std::string::npos; }))
            << name << " was not shown while the list was open";
    }
    ::close(list);
    run.join();
    EXPECT_EQ(exitCode, kExitOk);
}

// Memory refused while a file is described: that file gets its message, in every format, and the next
// ones are described (a child whose address space leaves too little for a large file's buffers).
TEST(Run, MemoryRefusedForAFileReportsItInEveryFormatAndGoesOn)
{
    if (!test::kAddressLimits)
        GTEST_SKIP() << "needs Linux's address-space limit, which the sanitizers' shadow memory rules out";
    const test::TempFolder folder;
    testkit::WriteFile(folder / "a.TD4", testkit::MakeTrackDesignFile({.rideType = 37}, 0));
    testkit::WriteFile(folder / "b.TD4", testkit::MakeTrackDesignFile({.rideType = 12}, 0));
    const fs::path junk = folder / "junk.SV4";
    std::ofstream(junk).close();
    fs::resize_file(junk, std::uintmax_t{8} << 20);
    const std::string message = "Not enough memory to describe " + junk.string();
    struct Row {
        OutputFormat format;
        std::string record; // the error's in the output
    };
    for (const Row& row :
         {Row{OutputFormat::Text, ""}, Row{OutputFormat::Json, "\"error\":\"" + message + "\"}"},
          Row{OutputFormat::Csv, message + "\r\n"}}) {
        Options options;
        options.format = row.format;
        options.jobs = 1;
        options.paths = {(folder / "a.TD4").string(), junk.string(), (folder / "b.TD4").string()};
        const int exitCode = test::InChild([&] {
            std::ofstream out(folder / "out"), err(folder / "err");
            return test::LimitAddressSpace(std::size_t{6} << 20) ? cli::Run(options, ".", out, err) : 100;
        });
        EXPECT_EQ(exitCode, kExitFileError);
        const auto text = [](const fs::path& path) {
            std::ifstream file(path);
            std::ostringstream whole;
            whole << file.rdbuf();
            return whole.str();
        };
        const std::string out = text(folder / "out"), err = text(folder / "err");
        EXPECT_EQ(err, "lmpinfo: " + message + "\n");
        EXPECT_NE(out.find(row.record), std::string::npos) << out;
        EXPECT_NE(out.find("b.TD4"), std::string::npos) << out;
    }
}
#endif

} // namespace
} // namespace lmp::cli
