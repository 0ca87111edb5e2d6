// The path-level describer over any file: the first input byte chooses the file's extension and
// the options, the rest is the file, written to a real file and described through DescribeFile.
// Checks what holds for every file (CheckLines) and the same result from the file on disk as from its
// bytes fed in pieces to the same scanner.
#include <array>
#include <filesystem>
#include <string>

#include "core/Describe.h"
#include "fuzz/DescribeSupport.h"
#include "scan/DescribeFile.h"

namespace {

using lmp::fuzz::CheckLines;
using lmp::fuzz::Folder;
using lmp::fuzz::Require;
using lmp::fuzz::Write;

// Game types in several spellings, then names that are never opened.
constexpr std::array<const char*, 10> kExtensions = {".TD4", ".td4", ".SV4", ".sV4", ".SC4",
                                                     ".Sc4", ".TP4", ".txt", "",     ".TD4.bak"};

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
