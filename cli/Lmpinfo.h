#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Describe.h"
#include "sys/FileStamp.h"

namespace lmp::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;

enum class OutputFormat { Text, Json, Csv };

struct Options {
    std::optional<std::int32_t> edition;      // --edition N: 0, 1 or 2
    bool noSeparator = false;                 // --no-separator
    OutputFormat format = OutputFormat::Text; // --json, --csv
    bool recursive = false;                   // -r, --recursive
    std::optional<std::string> decimalMark;   // --decimal-mark C
    std::vector<std::string> paths;           // as given, in order
    std::optional<std::string> filesFrom;     // --files-from FILE, "-" for standard input
    bool nullSeparated = false;               // --null
    bool noHeader = false;                    // --no-header
    unsigned jobs = 0;                        // --jobs N: threads that describe; 0 for one per core
    std::optional<std::string> where;         // --where QUERY: only the files that match it
    bool cache = false;                       // --cache: descriptions kept on disk between runs
};

// Either options to run with, or an exit code with the text to print: help or the version on stdout
// (code 0), a usage error on stderr (code 2).
struct ParseResult {
    std::optional<Options> options;
    int exitCode = kExitOk;
    std::string text;
};

// Parses lmpinfo's arguments (argv[0] is the program name); never throws for bad arguments.
ParseResult ParseArguments(int argc, const char* const* argv);

// True when text is exactly one well-formed UTF-8 character.
bool IsSingleCharacter(std::string_view text) noexcept;

// Why text cannot be the decimal mark, as a usage error says it ("the decimal mark cannot be a digit,
// not '5'"); empty when it can: one well-formed UTF-8 character that is not an ASCII digit, a blank
// (a space of any width, zero-width ones included) or a character IsUnsafeCharacter refuses (a control
// character, a line break, a bidirectional control), any of which would make a number misread or show
// reordered. A character that cannot be seen is named by its code ("U+001B").
std::string DecimalMarkProblem(std::string_view text);

// The decimal mark for a locale's decimal_point text: that text when DecimalMarkProblem has none with
// it, else "." (empty, missing, not one well-formed UTF-8 character, or refused).
std::string DecimalMarkOf(const char* localeDecimalPoint);

// The user's decimal mark from LC_NUMERIC (sets the process's LC_NUMERIC from the environment).
std::string UserDecimalMark();

// One entry of the list to describe: a file, or a path that named nothing.
struct Item {
    std::filesystem::path path;
    std::string problem;   // empty for a file to describe; the message to print otherwise
    bool pathless = false; // a problem of the path list itself, which names no path to give a record
    std::optional<sys::FileStamp> stamp = std::nullopt; // a folder's file, when the walk keeps its listing's
};

// The name's bytes on POSIX systems; on Windows, whose native names are UTF-16, their UTF-8 form.
std::string NameText(const std::filesystem::path& path);

// The items the paths stand for, in order: a folder stands for the regular files directly in it in
// file-list order (natural, case-insensitive names), subfolders left out unless recursive; a path
// that names nothing gives "No such file or folder: PATH"; a folder that cannot be listed gives
// "Cannot open folder PATH". Recursive: after a folder's files come its subfolders in the same
// order, each with its files and subfolders in turn; links to folders are not followed, so no folder
// is visited twice through a loop.
std::vector<Item> ExpandPaths(const std::vector<std::string>& paths, bool recursive = false);

class PathList;

// The items to describe, one at a time, as ExpandPaths gives them for the paths (the arguments'), then
// those of each entry of the path list, when there is one. Nothing is walked ahead of what is taken: a
// folder is listed and sorted when its turn comes and a list entry is read only once the items before it
// are used up, so that a tree or a list of any size takes the memory of one folder's files and the
// subfolders still to visit.
class ItemSource {
public:
    // With stamps, each file of a folder comes with its stamp as the folder's listing gives it.
    ItemSource(std::vector<std::string> paths, PathList* list, bool recursive, bool stamps = false);

    std::optional<Item> Next();
    // How many items there are in all, known once the walk has ended: every path expanded, every
    // folder listed and the list read to its end.
    std::optional<std::size_t> Total() const noexcept;
    // Whether Next has an item at hand, one it gives without listing a folder or reading the list.
    bool HasBuffered() const noexcept { return next_ < items_.size(); }

private:
    // Puts the items of the next path, folder or list entry in items_; false when none is left.
    bool Walk();
    void ExpandPath(const std::string& text);

    struct Folder {
        std::filesystem::path path;
        std::string text; // as given, for a folder named by a path; empty for a subfolder
    };

    struct PathText {
        std::string text;
        bool matched; // a wildcard's match, not to be matched again
    };

    std::deque<PathText> paths_;
    PathList* list_;
    bool recursive_;
    bool stamps_;
    bool listEnded_ = false;
    std::vector<Folder> folders_; // folders of a recursive walk still to list, the next one last
    std::vector<Item> items_;
    std::size_t next_ = 0;
    std::size_t taken_ = 0;
};

// The files of a folder in file-list order; throws std::filesystem::filesystem_error when it cannot
// be listed.
std::vector<std::filesystem::path> FolderFiles(const std::filesystem::path& folder);

// Decides WithSeparator for each file in turn. Describing with every edition accepted: false for the
// first file and true after. With one edition: false until a file of that edition was found.
class SeparatorRule {
public:
    SeparatorRule(std::optional<std::int32_t> edition, bool never) noexcept : edition_(edition), never_(never)
    {
    }

    bool Next() const noexcept { return !never_ && (edition_ ? found_ : described_); }
    void Described(std::int32_t resultEdition) noexcept;
    // A file that could not be read still took its turn.
    void Failed() noexcept { described_ = true; }

private:
    std::optional<std::int32_t> edition_;
    bool never_;
    bool described_ = false;
    bool found_ = false;
};

// The acceptance flags and decimal mark for the options; the separator is left to SeparatorRule.
DescribeOptions DescribeOptionsFor(const Options& options, const std::string& decimalMark);

// Which of the standard streams are terminals: the progress line shows on a terminal stderr, and
// gives way to the lines when stdout is the same screen.
struct Terminals {
    bool out = false;
    bool err = false;
};

// Describes the items of the paths, then of the entries of the path list (options.filesFrom, read as
// it is described; "-" reads standard input), writing each line and "\n" (text), one JSON object per
// line (JSON) or a header, unless noHeader, and one row per file (CSV) to out and each problem to err
// (each message made by FormatStderrMessage); in the structured formats a problem with a path also
// gives a record with its message in "error". A file gets a record exactly when the text would show
// lines for it. With options.where only the files the query matches are described, as if they alone had
// been given; with options.cache descriptions come from the cache of descriptions where the file's stamp
// is as it was, and go to it otherwise (its notices on err). terminals.err allows the progress line for
// many files. Returns kExitOk;
// kExitFileError when any path named nothing, any file could not be read or the list has an entry
// that cannot be a path or cannot be read on; kExitUsage, before anything is described, when the
// path list cannot be opened or the query cannot be read.
int Run(const Options& options, const std::string& decimalMark, std::ostream& out, std::ostream& err,
        Terminals terminals = {});

// The whole command: parse, pick the decimal mark, run.
int Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals = {});

} // namespace lmp::cli
