// The path-level describer over any file: the first input byte chooses the file's extension and
// the options, the rest is the file, written to a real file and described through DescribeFile.
// Checks what holds for every file: a known edition code, the lines the edition and flags call for,
// bounded lines, and the same result from the file on disk as from its bytes fed in pieces to the same
// scanner.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/Describe.h"
#include "fuzz/FuzzSupport.h"

namespace {

using lmp::fuzz::Require;

// Game types in several spellings, then names that are never opened.
constexpr std::array<const char*, 10> kExtensions = {".TD4", ".td4", ".SV4", ".sV4", ".SC4",
                                                     ".Sc4", ".TP4", ".txt", "",     ".TD4.bak"};

// The folder that the inputs are written to, removed when the fuzzer exits.
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

const std::filesystem::path& Folder()
{
    static const ScratchFolder folder;
    return folder.Path();
}

void Write(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Require(static_cast<bool>(out), "the input can be written to a file");
}

std::size_t SummaryLines(lmp::FileType type)
{
    return type == lmp::FileType::TrackDesign ? 5 : type == lmp::FileType::SavedGame ? 9 : 10;
}

void CheckLines(const lmp::Description& described, lmp::FileType type, const std::string& name,
                const lmp::DescribeOptions& options)
{
    const lmp::Lines& lines = described.lines;
    Require(described.edition >= lmp::kNoEdition && described.edition <= 2, "edition is -1, 0, 1 or 2");
    if (type == lmp::FileType::None) {
        Require(described.edition == lmp::kNoEdition && lines.empty(), "other files give -1 and nothing");
        return;
    }
    if (described.edition == lmp::kNoEdition) {
        const bool failureLine = type == lmp::FileType::SavedGame || options.AllAccepted();
        Require(lines == (failureLine ? lmp::Lines{std::string(lmp::kVersionFailureLine)} : lmp::Lines{}),
                "an unmatched checksum gives the failure line by type and flags");
        return;
    }
    if (!options.Accepts(described.edition)) {
        Require(lines.empty(), "an edition not accepted gives no line");
        return;
    }
    const std::size_t first = options.withSeparator ? 1 : 0;
    Require(lines.size() == first + 2 + SummaryLines(type), "the line count of the file type");
    Require(!options.withSeparator || lines[0] == lmp::kSeparatorLine, "the separator comes first");
    Require(lines[first] == "File Name : " + name, "the file name line");
    Require(lines[first + 1] == "   Version: " + std::string(lmp::EditionLabel(type, described.edition)),
            "the version line");
    Require(lmp::fuzz::ColonsAligned(lines, first), "every label's colon in the eleventh column");
    Require(lmp::fuzz::LongestLine(lines, first + 2) <= 100, "summary lines stay short");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lmp::fuzz::FuzzInput input({data, size});
    const std::uint8_t choice = input.U8();
    const std::span<const std::uint8_t> file = input.Rest();

    const std::string name = std::string("fuzz") + kExtensions[(choice & 0x0F) % kExtensions.size()];
    const lmp::FileType type = lmp::FileTypeOfName(name);
    lmp::DescribeOptions all;
    all.withSeparator = (choice & 0x10) != 0;
    all.decimalMark = (choice & 0x80) != 0 ? "," : ".";
    lmp::DescribeOptions one = all;
    const int only = ((choice >> 5) & 0x03) % 3;
    one.acceptOriginal = only == 0;
    one.acceptFirstExpansion = only == 1;
    one.acceptSecondExpansion = only == 2;

    const std::filesystem::path path = Folder() / name;
    Write(path, file);
    const lmp::Description described = lmp::DescribeFile(path, all);
    CheckLines(described, type, name, all);
    const lmp::Description chosen = lmp::DescribeFile(path, one);
    CheckLines(chosen, type, name, one);
    Require(chosen.edition == described.edition, "the edition does not depend on the flags");
    std::filesystem::remove(path);

    if (type != lmp::FileType::None) {
        // The same bytes arriving in pieces of 1 to 7 bytes, as a read in chunks would deliver them.
        const std::size_t extent = lmp::DecodedExtentFor(type);
        lmp::PackedFileScanner pieces(extent);
        for (std::size_t offset = 0, step = 1; offset < file.size(); offset += step, step = step % 7 + 1)
            pieces.Feed(file.subspan(offset, std::min(step, file.size() - offset)));
        const lmp::PackedFile scanned = std::move(pieces).Finish();
        Require(scanned.decoded.Size() <= extent, "decoding stops at the extent");
        const lmp::Description fromPieces = lmp::DescribePackedFile(name, type, scanned, all);
        Require(fromPieces.edition == described.edition && fromPieces.lines == described.lines,
                "the file on disk and its bytes in pieces describe alike");
    }
    return 0;
}
