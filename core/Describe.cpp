#include "core/Describe.h"

#include <utility>

#include "core/Park.h"
#include "core/TrackDesign.h"
#include "core/Utf8.h"

namespace lmp {

bool DescribeOptions::Accepts(std::int32_t edition) const noexcept
{
    return (edition == 0 && acceptOriginal) || (edition == 1 && acceptFirstExpansion) ||
           (edition == 2 && acceptSecondExpansion);
}

// Decoding stops once the bytes the summaries read are there, so neither a large file nor records
// that expand without bound cost more than this.
std::size_t DecodedExtentFor(FileType type) noexcept
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

Description DescribePackedFile(std::string_view fileName, FileType type, const PackedFile& file,
                               const DescribeOptions& options)
{
    Description result;
    if (type == FileType::None)
        return result;
    const ByteStream& decoded = file.decoded;
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
    result.lines.push_back("File Name : " + SafeText(fileName));
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

FileDescriber::FileDescriber(std::string_view fileName, std::unique_ptr<ByteSource> source,
                             DescribeOptions options, ScanMemory memory)
    : fileName_(fileName), type_(FileTypeOfName(fileName_)), options_(std::move(options))
{
    if (type_ != FileType::None && source)
        reader_.emplace(std::move(source), DecodedExtentFor(type_), std::move(memory));
}

FileDescriber::FileDescriber(std::string_view fileName, std::span<const std::uint8_t> bytes,
                             DescribeOptions options)
    : fileName_(fileName), type_(FileTypeOfName(fileName_)), options_(std::move(options))
{
    if (type_ != FileType::None)
        reader_.emplace(bytes, DecodedExtentFor(type_));
}

bool FileDescriber::ReadChunk()
{
    return reader_ && reader_->ReadChunk();
}

std::optional<ScanLoop> FileDescriber::BeginChunk()
{
    return reader_ ? reader_->BeginChunk() : std::nullopt;
}

void FileDescriber::EndChunk(ScanLoop& loop)
{
    reader_->EndChunk(loop);
}

Description FileDescriber::Finish(ScanMemory* spare) &&
{
    if (!reader_)
        return {};
    PackedFile file = std::move(*reader_).Finish(spare);
    Description description = DescribePackedFile(fileName_, type_, file, options_);
    if (spare != nullptr)
        spare->decoded = std::move(file.decoded);
    return description;
}

ScanMemory FileDescriber::TakeMemory() && noexcept
{
    return reader_ ? std::move(*reader_).TakeMemory() : ScanMemory();
}

Description DescribeBytes(std::string_view fileName, std::span<const std::uint8_t> bytes,
                          const DescribeOptions& options)
{
    FileDescriber file(fileName, bytes, options);
    while (file.ReadChunk()) {
    }
    return std::move(file).Finish();
}

} // namespace lmp
