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
    DescriptionFacts facts{.type = type, .edition = kNoEdition, .summary = {}};
    if (type == FileType::None)
        return DescribeFacts(fileName, facts, options);
    const ByteStream& decoded = file.decoded;
    if (file.storedChecksum)
        facts.edition =
            MatchEditionRule(type, ChecksumDifference(*file.storedChecksum, file.computedChecksum));
    if (type == FileType::TrackDesign && facts.edition != kNoEdition)
        facts.edition = TrackDesignEdition(facts.edition, decoded.U8(kTrackDesignFlagsOffset));
    // The summary is read only for the editions shown.
    if (facts.edition != kNoEdition && options.Accepts(facts.edition)) {
        switch (type) {
        case FileType::TrackDesign:
            facts.summary = SummarizeTrackDesign(decoded);
            break;
        case FileType::SavedGame:
            facts.summary = SummarizePark(decoded, false);
            break;
        case FileType::Scenario:
            // Expansion scenarios are scrambled; only the words the summary reads are descrambled.
            facts.summary = SummarizePark(decoded, true,
                                          facts.edition == 1 || facts.edition == 2 ? Scrambling::Scrambled
                                                                                   : Scrambling::Plain);
            break;
        case FileType::None:
            break;
        }
    }
    return DescribeFacts(fileName, facts, options);
}

Description DescribeFacts(std::string_view fileName, const DescriptionFacts& facts,
                          const DescribeOptions& options)
{
    Description result;
    if (facts.type == FileType::None)
        return result;
    result.edition = facts.edition;
    if (facts.edition == kNoEdition) {
        // Saved games report the failure whatever the flags; the other types only when describing
        // the user's selection (all editions accepted).
        if (facts.type == FileType::SavedGame || options.AllAccepted())
            result.lines.emplace_back(kVersionFailureLine);
        return result;
    }
    if (!options.Accepts(facts.edition))
        return result;

    if (options.withSeparator)
        result.lines.emplace_back(kSeparatorLine);
    result.lines.push_back("File Name : " + SafeText(fileName));
    result.lines.push_back("   Version: " + std::string(EditionLabel(facts.type, facts.edition)));
    if (const auto* design = std::get_if<TrackDesignSummary>(&facts.summary))
        FormatTrackDesign(*design, options.decimalMark, result.lines);
    else if (const auto* park = std::get_if<ParkSummary>(&facts.summary))
        FormatParkSummary(*park, options.decimalMark, result.lines);
    result.summary = facts.summary;
    return result;
}

std::optional<DescriptionFacts> FactsOf(FileType type, const Description& description,
                                        const DescribeOptions& options)
{
    if (type == FileType::None)
        return DescriptionFacts{};
    if (description.edition != kNoEdition && !options.Accepts(description.edition))
        return std::nullopt;
    return DescriptionFacts{.type = type, .edition = description.edition, .summary = description.summary};
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
