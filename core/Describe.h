#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "core/Edition.h"
#include "core/Lines.h"
#include "core/PackedFile.h"
#include "core/Park.h"
#include "core/TrackDesign.h"

namespace lmp {

// The line written between two file descriptions: 31 hyphens.
inline constexpr std::string_view kSeparatorLine = "-------------------------------";
inline constexpr std::string_view kVersionFailureLine = "cannot determine file version!";

struct DescribeOptions {
    bool acceptOriginal = true;
    bool acceptFirstExpansion = true;
    bool acceptSecondExpansion = true;
    bool withSeparator = false;
    std::string decimalMark = ".";

    bool AllAccepted() const noexcept
    {
        return acceptOriginal && acceptFirstExpansion && acceptSecondExpansion;
    }
    bool Accepts(std::int32_t edition) const noexcept;
};

// What the lines of a described file were made from; none when the file was not described (other
// types, editions not accepted, no edition rule matched).
using Summary = std::variant<std::monostate, TrackDesignSummary, ParkSummary>;

struct Description {
    std::int32_t edition = kNoEdition; // 0, 1 or 2 when a checksum rule matched, described or not
    Lines lines;
    Summary summary;
};

// What a file's description is made of, whatever the options it is described with: its type, the edition
// its checksum gave, and its summary. The summary is none when no edition was determined; otherwise it is
// the one its type reads. Small, so that it can be kept for a file instead of its lines.
struct DescriptionFacts {
    FileType type = FileType::None;
    std::int32_t edition = kNoEdition;
    Summary summary;

    bool operator==(const DescriptionFacts&) const = default;
};

// The description that describing a file of this name with these facts gives under the options: the same
// edition, lines and summary as DescribePackedFile. The facts must be as described above (a summary of
// the type's kind whenever the edition is 0, 1 or 2).
Description DescribeFacts(std::string_view fileName, const DescriptionFacts& facts,
                          const DescribeOptions& options);

// The facts behind a description of a file of the given type made under options; none when the options
// left out the file's edition, so that its summary was never read. Describing with every edition accepted
// (DescribeOptions{}) always gives them.
std::optional<DescriptionFacts> FactsOf(FileType type, const Description& description,
                                        const DescribeOptions& options);

// The decoded bytes that describing a file of this type reads, where its decoding stops; 0 for
// FileType::None.
std::size_t DecodedExtentFor(FileType type) noexcept;

// The lines of a packed file of the given name and type once it has been read (PackedFileReader, decoding
// up to DecodedExtentFor(type)): the last step of describing a file.
Description DescribePackedFile(std::string_view fileName, FileType type, const PackedFile& file,
                               const DescribeOptions& options);

// Describing one file a chunk at a time, for callers that do other work between two chunks: a stop
// check, or the chunks of other files scanned in the same loop (RunScanLoops). The file's type is chosen
// by the name's extension.
class FileDescriber {
public:
    // Reads the file's bytes from source, which stays empty for a file of no game type: such a file is
    // not opened. Without a source the file has no chunks.
    FileDescriber(std::string_view fileName, std::unique_ptr<ByteSource> source, DescribeOptions options,
                  ScanMemory memory = {});
    // The same over bytes in memory, which must outlive it.
    FileDescriber(std::string_view fileName, std::span<const std::uint8_t> bytes, DescribeOptions options);

    // False for a file of no game type, which has no chunks.
    bool IsGameFile() const noexcept { return reader_.has_value(); }

    // PackedFileReader's steps: the next chunk read and scanned, false at the end; or read with its
    // loop handed out (none at the end) and taken back once it has run. Throw FileError when the source
    // cannot be read.
    bool ReadChunk();
    std::optional<ScanLoop> BeginChunk();
    void EndChunk(ScanLoop& loop);

    // The description, once ReadChunk gave false or BeginChunk none; the buffers go to spare when given,
    // for the next file.
    Description Finish(ScanMemory* spare = nullptr) &&;
    // The buffers, for the next file, when this one is given up (it failed or was stopped); none for a
    // file of no game type.
    ScanMemory TakeMemory() && noexcept;

private:
    std::string fileName_;
    FileType type_;
    DescribeOptions options_;
    std::optional<PackedFileReader> reader_; // none for a file of no game type
};

// Describes a file of the given name whose bytes are in memory, reading them in the same steps as
// DescribeFile reads a file.
Description DescribeBytes(std::string_view fileName, std::span<const std::uint8_t> bytes,
                          const DescribeOptions& options);

} // namespace lmp
