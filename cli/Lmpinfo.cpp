#include "cli/Lmpinfo.h"

#include <algorithm>
#include <clocale>
#include <ostream>
#include <system_error>

#include "cli/Progress.h"
#include "cli/Record.h"
#include "cli/Utf8.h"
#include "cli/Wildcards.h"
#include "core/NaturalOrder.h"
#include "sys/CommandLine.h"

namespace lmp::cli {
namespace fs = std::filesystem;

bool IsSingleCharacter(std::string_view text) noexcept
{
    return !text.empty() && WellFormedLength(text, 0) == text.size();
}

std::string DecimalMarkOf(const char* localeDecimalPoint)
{
    if (localeDecimalPoint == nullptr || !IsSingleCharacter(localeDecimalPoint)) {
        return ".";
    }
    return localeDecimalPoint;
}

std::string UserDecimalMark()
{
    if (std::setlocale(LC_NUMERIC, "") == nullptr) {
        return ".";
    }
    const std::lconv* conventions = std::localeconv();
    return DecimalMarkOf(conventions != nullptr ? conventions->decimal_point : nullptr);
}

namespace {

// The name's bytes on POSIX systems; on Windows, whose native names are UTF-16, their UTF-8 form.
std::string NameText(const fs::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

bool NaturalPathLess(const fs::path& a, const fs::path& b)
{
    return NaturalLess(NameText(a), NameText(b));
}

// The regular files of a folder and, when wanted, its subfolders (not links to folders), each in
// file-list order. Throws std::filesystem::filesystem_error when the folder cannot be listed.
void ListFolder(const fs::path& folder, std::vector<fs::path>& files, std::vector<fs::path>* subfolders)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code error;
        if (entry.is_regular_file(error)) {
            files.push_back(entry.path());
        } else if (subfolders != nullptr && !entry.is_symlink(error) && entry.is_directory(error)) {
            subfolders->push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end(), NaturalPathLess);
    if (subfolders != nullptr) {
        std::sort(subfolders->begin(), subfolders->end(), NaturalPathLess);
    }
}

// A folder tree depth first, a folder's files before its subfolders, with a stack of its own so that
// deep trees cannot exhaust the call stack.
void AddFolderTree(const fs::path& top, const std::string& topText, std::vector<Item>& items)
{
    std::vector<fs::path> pending{top};
    while (!pending.empty()) {
        const fs::path folder = std::move(pending.back());
        pending.pop_back();
        std::vector<fs::path> files;
        std::vector<fs::path> subfolders;
        try {
            ListFolder(folder, files, &subfolders);
        } catch (const fs::filesystem_error&) {
            items.push_back(
                {folder, "Cannot open folder " + (folder == top ? topText : sys::Utf8FromPath(folder))});
            continue;
        }
        for (fs::path& file : files) {
            items.push_back({std::move(file), {}});
        }
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
}

} // namespace

std::vector<fs::path> FolderFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    ListFolder(folder, files, nullptr);
    return files;
}

namespace {

// The items one path stands for (text as given, UTF-8 on Windows).
void AddPath(const std::string& text, bool recursive, std::vector<Item>& items)
{
    const fs::path path = sys::PathFromUtf8(text);
    std::error_code error;
    if (fs::is_directory(fs::status(path, error))) {
        if (recursive) {
            AddFolderTree(path, text, items);
            return;
        }
        try {
            for (fs::path& file : FolderFiles(path)) {
                items.push_back({std::move(file), {}});
            }
        } catch (const fs::filesystem_error&) {
            items.push_back({path, "Cannot open folder " + text});
        }
        return;
    }
    // A link that leads nowhere is still a name in its folder; reading it fails like any file.
    if (fs::symlink_status(path, error).type() == fs::file_type::not_found) {
        items.push_back({path, "No such file or folder: " + text});
        return;
    }
    items.push_back({path, {}});
}

} // namespace

std::vector<Item> ExpandPaths(const std::vector<std::string>& paths, bool recursive)
{
    std::vector<Item> items;
    for (const std::string& text : paths) {
        if (!sys::ProgramExpandsWildcards() || !HasWildcard(text)) {
            AddPath(text, recursive, items);
            continue;
        }
        const std::vector<std::string> matches = MatchWildcard(text);
        if (matches.empty()) {
            items.push_back({sys::PathFromUtf8(text), "No such file or folder: " + text});
        }
        for (const std::string& match : matches) {
            AddPath(match, recursive, items);
        }
    }
    return items;
}

void SeparatorRule::Described(std::int32_t resultEdition) noexcept
{
    described_ = true;
    if (edition_ && resultEdition == *edition_) {
        found_ = true;
    }
}

DescribeOptions DescribeOptionsFor(const Options& options, const std::string& decimalMark)
{
    DescribeOptions describe;
    if (options.edition) {
        describe.acceptOriginal = *options.edition == 0;
        describe.acceptFirstExpansion = *options.edition == 1;
        describe.acceptSecondExpansion = *options.edition == 2;
    }
    describe.decimalMark = decimalMark;
    return describe;
}

int Run(const Options& options, const std::string& decimalMark, std::ostream& out, std::ostream& err,
        Terminals terminals)
{
    DescribeOptions describe = DescribeOptionsFor(options, decimalMark);
    SeparatorRule separator(options.edition, options.noSeparator);
    const std::vector<Item> items = ExpandPaths(options.paths, options.recursive);
    ProgressLine progress(err, terminals.err, items.size(), terminals.out ? &out : nullptr);
    // Lines for a file or a pipe leave the progress line standing; on the same screen they go below it.
    const auto beforeOut = [&] {
        if (terminals.out)
            progress.Hide();
    };
    int exitCode = kExitOk;
    const auto write = [&](const Record& record) {
        beforeOut();
        out << (options.format == OutputFormat::Json ? JsonLine(record) : CsvRow(record));
    };
    const auto report = [&](const Item& item, const std::string& message) {
        progress.Hide();
        out.flush(); // keeps the messages in place among the lines on a terminal
        err << message << '\n';
        exitCode = kExitFileError;
        if (options.format != OutputFormat::Text) {
            write(ErrorRecord(item.path, message));
        }
    };

    if (options.format == OutputFormat::Csv) {
        out << CsvHeaderRow();
    }
    std::size_t examined = 0;
    for (const Item& item : items) {
        // Output that cannot be written (a reader that went away, where no SIGPIPE ends the process)
        // ends the run instead of reading the rest of the collection for nothing.
        if (!out) {
            break;
        }
        progress.Examined(examined++);
        if (!item.problem.empty()) {
            report(item, item.problem);
            continue;
        }
        describe.withSeparator = separator.Next();
        try {
            const Description description = DescribeFile(item.path, describe);
            if (options.format != OutputFormat::Text) {
                if (!description.lines.empty()) {
                    write(DescribedRecord(item.path, description));
                }
            } else if (!description.lines.empty()) {
                beforeOut();
                for (const std::string& line : description.lines) {
                    out << line << '\n';
                }
            }
            separator.Described(description.edition);
        } catch (const FileError& error) {
            report(item, error.what());
            separator.Failed();
        }
    }
    progress.Hide();

    out.flush();
    if (!out) {
        err << "lmpinfo: cannot write to standard output\n";
        return kExitFileError;
    }
    return exitCode;
}

int Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals)
{
    ParseResult parsed = ParseArguments(argc, argv);
    if (!parsed.options) {
        (parsed.exitCode == kExitOk ? out : err) << parsed.text;
        return parsed.exitCode;
    }
    const std::string decimalMark =
        parsed.options->decimalMark ? *parsed.options->decimalMark : UserDecimalMark();
    return Run(*parsed.options, decimalMark, out, err, terminals);
}

} // namespace lmp::cli
