#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>

#include "core/Describe.h"
#include "core/Utf8.h"
#include "fuzz/FuzzSupport.h"

namespace lmp::fuzz {

// Whether a line is UTF-8 that a terminal only shows: no C0 control, DEL, C1 control (C2 80 to C2 9F),
// U+2028/U+2029 (E2 80 A8, E2 80 A9) or bidirectional control (U+061C D8 9C, U+200E/U+200F E2 80 8E/8F,
// U+202A-U+202E E2 80 AA-AE, U+2066-U+2069 E2 81 A6-A9), looked for byte by byte.
inline bool ShowsAsItIs(std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto b = static_cast<unsigned char>(line[i]);
        const auto next = [&](std::size_t k) {
            return i + k < line.size() ? static_cast<unsigned char>(line[i + k]) : 0u;
        };
        const bool e280 = b == 0xE2 && next(1) == 0x80;
        if (b < 0x20 || b == 0x7F || (b == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) ||
            (e280 && (next(2) == 0xA8 || next(2) == 0xA9)) || (b == 0xD8 && next(1) == 0x9C) ||
            (e280 && (next(2) == 0x8E || next(2) == 0x8F || (next(2) >= 0xAA && next(2) <= 0xAE))) ||
            (b == 0xE2 && next(1) == 0x81 && next(2) >= 0xA6 && next(2) <= 0xA9))
            return false;
    }
    return ToValidUtf8(line) == line;
}

// Whether a name shows in a line as it is: printable ASCII only.
inline bool PlainName(std::string_view name)
{
    for (const char c : name)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

inline std::size_t SummaryLines(FileType type)
{
    return type == FileType::TrackDesign ? 5 : type == FileType::SavedGame ? 9 : 10;
}

// What holds for the description of every file named name: a known edition code, the lines the
// edition and flags call for, bounded lines, and none that a terminal would act on.
inline void CheckLines(const Description& described, FileType type, const std::string& name,
                       const DescribeOptions& options)
{
    const Lines& lines = described.lines;
    Require(described.edition >= kNoEdition && described.edition <= 2, "edition is -1, 0, 1 or 2");
    for (const std::string& line : lines)
        Require(ShowsAsItIs(line), "no line holds a control character or a line break");
    if (type == FileType::None) {
        Require(described.edition == kNoEdition && lines.empty(), "other files give -1 and nothing");
        return;
    }
    if (described.edition == kNoEdition) {
        const bool failureLine = type == FileType::SavedGame || options.AllAccepted();
        Require(lines == (failureLine ? Lines{std::string(kVersionFailureLine)} : Lines{}),
                "an unmatched checksum gives the failure line by type and flags");
        return;
    }
    if (!options.Accepts(described.edition)) {
        Require(lines.empty(), "an edition not accepted gives no line");
        return;
    }
    const std::size_t first = options.withSeparator ? 1 : 0;
    Require(lines.size() == first + 2 + SummaryLines(type), "the line count of the file type");
    Require(!options.withSeparator || lines[0] == kSeparatorLine, "the separator comes first");
    Require(lines[first].starts_with("File Name : ") &&
                (!PlainName(name) || lines[first] == "File Name : " + name),
            "the file name line, a plain name as it is");
    Require(lines[first + 1] == "   Version: " + std::string(EditionLabel(type, described.edition)),
            "the version line");
    Require(ColonsAligned(lines, first), "every label's colon in the eleventh column");
    // A name of 32 characters that all became U+FFFD takes 96 bytes.
    Require(LongestLine(lines, first + 2) <= 128, "summary lines stay short");
}

// The folder that inputs are written to as files, removed when the fuzzer exits.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lmp-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "a temporary folder can be made");
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const noexcept { return path_; }

private:
    std::filesystem::path path_;
};

inline const std::filesystem::path& Folder()
{
    static const ScratchFolder folder;
    return folder.Path();
}

inline void Write(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Require(static_cast<bool>(out), "the input can be written to a file");
}

} // namespace lmp::fuzz
