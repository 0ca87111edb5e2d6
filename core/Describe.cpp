#include "core/Describe.h"

#include "core/Park.h"
#include "core/RunLength.h"
#include "core/TrackDesign.h"

namespace lmp {

namespace {

// Decoding stops once the bytes the summaries read are there, so neither a large file nor records
// that expand without bound cost more than this.
std::size_t ExtentFor(FileType type) noexcept
{
    switch (type) {
    case FileType::TrackDesign:
        return kTrackDesignExtent;
    case FileType::SavedGame:
    case FileType::Scenario:
        return kParkExtent;
    case FileType::None:
        break;
    }
    return 0;
}

std::string FileNameText(const std::filesystem::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

// Everything after the scan, on contents decoded to the type's extent.
Description DescribeDecoded(std::string_view fileName, FileType type, const PackedFile& file,
                            const ByteStream& decoded, const DescribeOptions& options)
{
    Description result;
    std::int32_t edition = kNoEdition;
    if (file.storedChecksum)
        edition = MatchEditionRule(type, ChecksumDifference(*file.storedChecksum, file.computedChecksum));
    if (type == FileType::TrackDesign && edition != kNoEdition)
        edition = TrackDesignEdition(edition, decoded.U8(kTrackDesignFlagsOffset));
    result.edition = edition;

    if (edition == kNoEdition) {
        // Saved games report the failure whatever the flags; the other types only when describing
        // the user's selection (all editions accepted).
        if (type == FileType::SavedGame || options.AllAccepted())
            result.lines.emplace_back(kVersionFailureLine);
        return result;
    }
    if (!options.Accepts(edition))
        return result;

    if (options.withSeparator)
        result.lines.emplace_back(kSeparatorLine);
    result.lines.push_back("File Name : " + std::string(fileName));
    result.lines.push_back("   Version: " + std::string(EditionLabel(type, edition)));
    switch (type) {
    case FileType::TrackDesign:
        result.summary = DescribeTrackDesign(decoded, options.decimalMark, result.lines);
        break;
    case FileType::SavedGame:
        result.summary = DescribeParkFile(decoded, false, options.decimalMark, result.lines);
        break;
    case FileType::Scenario:
        // Expansion scenarios are scrambled; only the words the summary reads are descrambled.
        result.summary =
            DescribeParkFile(decoded, true, options.decimalMark, result.lines,
                             edition == 1 || edition == 2 ? Scrambling::Scrambled : Scrambling::Plain);
        break;
    case FileType::None:
        break;
    }
    return result;
}

} // namespace

bool DescribeOptions::Accepts(std::int32_t edition) const noexcept
{
    return (edition == 0 && acceptOriginal) || (edition == 1 && acceptFirstExpansion) ||
           (edition == 2 && acceptSecondExpansion);
}

std::size_t HeadLimitFor(FileType type) noexcept
{
    return type == FileType::None ? 0 : RunLengthInputBound(ExtentFor(type));
}

Description DescribePackedFile(std::string_view fileName, FileType type, const PackedFile& file,
                               const DescribeOptions& options)
{
    if (type == FileType::None)
        return {};
    ByteStream decoded;
    DecodeRunLength(file.head, decoded, file.BodyEnd(), ExtentFor(type));
    return DescribeDecoded(fileName, type, file, decoded, options);
}

Description DescribeFile(const std::filesystem::path& path, const DescribeOptions& options)
{
    const std::string name = FileNameText(path);
    const FileType type = FileTypeOfName(name);
    if (type == FileType::None)
        return {};
    // Decoded while the file is read and checksummed, whatever its edition turns out to be: the work
    // hides beside the checksum's chain of steps.
    ByteStream decoded;
    RunLengthDecoder decoder(decoded, ExtentFor(type));
    const PackedFile file = ReadPackedFile(path, HeadLimitFor(type), &decoder);
    return DescribeDecoded(name, type, file, decoded, options);
}

} // namespace lmp
