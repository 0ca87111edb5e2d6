#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Describe.h"

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
};

// Either options to run with, or an exit code with the text to print: help on stdout (code 0),
// a usage error on stderr (code 2).
struct ParseResult {
    std::optional<Options> options;
    int exitCode = kExitOk;
    std::string text;
};

// Parses lmpinfo's arguments (argv[0] is the program name); never throws for bad arguments.
ParseResult ParseArguments(int argc, const char* const* argv);

// True when text is exactly one well-formed UTF-8 character.
bool IsSingleCharacter(std::string_view text) noexcept;

// The decimal mark for a locale's decimal_point text: that text when it is one character, "." when
// it is empty, missing or not one well-formed UTF-8 character.
std::string DecimalMarkOf(const char* localeDecimalPoint);

// The user's decimal mark from LC_NUMERIC (sets the process's LC_NUMERIC from the environment).
std::string UserDecimalMark();

// One entry of the list to describe: a file, or a path that named nothing.
struct Item {
    std::filesystem::path path;
    std::string problem; // empty for a file to describe; the message to print otherwise
};

// The items the paths stand for, in order: a folder stands for the regular files directly in it in
// file-list order (natural, case-insensitive names), subfolders left out unless recursive; a path
// that names nothing gives "No such file or folder: PATH"; a folder that cannot be listed gives
// "Cannot open folder PATH". Recursive: after a folder's files come its subfolders in the same
// order, each with its files and subfolders in turn; links to folders are not followed, so no folder
// is visited twice through a loop.
std::vector<Item> ExpandPaths(const std::vector<std::string>& paths, bool recursive = false);

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

// Describes every item, writing each line and "\n" (text), one JSON object per line (JSON) or a
// header and one row per file (CSV) to out and each problem to err; in the structured formats a
// problem also gives a record with its message in "error". A file gets a record exactly when the
// text would show lines for it. terminals.err allows the progress line for many files. Returns
// kExitOk, or kExitFileError when any path named nothing or any file could not be read.
int Run(const Options& options, const std::string& decimalMark, std::ostream& out, std::ostream& err,
        Terminals terminals = {});

// The whole command: parse, pick the decimal mark, run.
int Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals = {});

} // namespace lmp::cli
