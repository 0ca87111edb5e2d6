#include "cli/Lmpinfo.h"

#include <algorithm>
#include <clocale>
#include <ostream>
#include <system_error>

#include "core/NaturalOrder.h"

namespace lmp::cli {
namespace fs = std::filesystem;

namespace {

// The length of the UTF-8 sequence that lead starts, 0 when lead cannot start one.
std::size_t SequenceLength(unsigned char lead) noexcept
{
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

bool IsSingleCharacter(std::string_view text) noexcept
{
    if (text.empty()) {
        return false;
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || length != text.size()) {
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return false;
        }
    }
    if (length >= 3) {
        const auto second = static_cast<unsigned char>(text[1]);
        // Overlong forms, UTF-16 surrogates and values above U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
            return false;
        }
    }
    return true;
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

std::vector<fs::path> FolderFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code error;
        if (entry.is_regular_file(error)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return NaturalLess(a.filename().native(), b.filename().native());
    });
    return files;
}

std::vector<Item> ExpandPaths(const std::vector<std::string>& paths)
{
    std::vector<Item> items;
    for (const std::string& text : paths) {
        const fs::path path(text);
        std::error_code error;
        if (fs::is_directory(fs::status(path, error))) {
            try {
                for (fs::path& file : FolderFiles(path)) {
                    items.push_back({std::move(file), {}});
                }
            } catch (const fs::filesystem_error&) {
                items.push_back({path, "Cannot open folder " + text});
            }
            continue;
        }
        // A link that leads nowhere is still a name in its folder; reading it fails like any file.
        if (fs::symlink_status(path, error).type() == fs::file_type::not_found) {
            items.push_back({path, "No such file or folder: " + text});
            continue;
        }
        items.push_back({path, {}});
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

int Run(const Options& options, const std::string& decimalMark, std::ostream& out, std::ostream& err)
{
    DescribeOptions describe = DescribeOptionsFor(options, decimalMark);
    SeparatorRule separator(options.edition, options.noSeparator);
    int exitCode = kExitOk;
    const auto report = [&](const std::string& message) {
        out.flush();  // keeps the messages in place among the lines on a terminal
        err << message << '\n';
        exitCode = kExitFileError;
    };

    for (const Item& item : ExpandPaths(options.paths)) {
        if (!item.problem.empty()) {
            report(item.problem);
            continue;
        }
        describe.withSeparator = separator.Next();
        try {
            const Description description = DescribeFile(item.path, describe);
            for (const std::string& line : description.lines) {
                out << line << '\n';
            }
            separator.Described(description.edition);
        } catch (const FileError& error) {
            report(error.what());
            separator.Failed();
        }
    }

    out.flush();
    if (!out) {
        err << "lmpinfo: cannot write to standard output\n";
        return kExitFileError;
    }
    return exitCode;
}

int Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    ParseResult parsed = ParseArguments(argc, argv);
    if (!parsed.options) {
        (parsed.exitCode == kExitOk ? out : err) << parsed.text;
        return parsed.exitCode;
    }
    const std::string decimalMark = parsed.options->decimalMark ? *parsed.options->decimalMark : UserDecimalMark();
    return Run(*parsed.options, decimalMark, out, err);
}

} // namespace lmp::cli
