#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stop_token>
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

// The decoded bytes that describing a file of this type reads, where its decoding stops; 0 for
// FileType::None.
std::size_t DecodedExtentFor(FileType type) noexcept;

// The lines of a packed file of the given name and type once it has been read (PackedFileReader, decoding
// up to DecodedExtentFor(type)): the last step of DescribeFile.
Description DescribePackedFile(std::string_view fileName, FileType type, const PackedFile& file,
                               const DescribeOptions& options);

// Describing one file a chunk at a time, in the steps DescribeFile takes, for callers that do other work
// between two chunks: a stop check, or the chunks of other files scanned in the same loop (RunScanLoops).
class FileDescriber {
public:
    // Opens a game file, choosing its type by the name's extension, or throws FileError as DescribeFile
    // does; a file of another type is not opened and has no chunks.
    FileDescriber(const std::filesystem::path& path, DescribeOptions options, ScanMemory memory = {});
    // The same over bytes in memory, which must outlive it.
    FileDescriber(std::string_view fileName, std::span<const std::uint8_t> bytes, DescribeOptions options);

    // False for a file of no game type, which has no chunks.
    bool IsGameFile() const noexcept { return reader_.has_value(); }

    // PackedFileReader's steps: the next chunk read and scanned, false at the end; or read with its
    // loop handed out (none at the end) and taken back once it has run. Throw FileError when the file
    // cannot be read.
    bool ReadChunk();
    std::optional<ScanLoop> BeginChunk();
    void EndChunk(ScanLoop& loop);

    // The description, once ReadChunk gave false or BeginChunk none; the buffers go to spare when given,
    // for the next file.
    Description Finish(ScanMemory* spare = nullptr) &&;

private:
    std::string fileName_;
    FileType type_;
    DescribeOptions options_;
    std::optional<PackedFileReader> reader_; // none for a file of no game type
};

// The type of the file at path by its name's extension, as DescribeFile chooses it.
FileType FileTypeOfPath(const std::filesystem::path& path);

// Describes the file at path, choosing its type by the name's extension; files of other types are
// not opened. Throws FileError, before any line is produced, when a game file cannot be read.
Description DescribeFile(const std::filesystem::path& path, const DescribeOptions& options);

// The same, checking stop before each chunk of at most 1 MiB that it reads: nothing when stop was
// requested before the file had been read whole.
std::optional<Description> DescribeFile(const std::filesystem::path& path, const DescribeOptions& options,
                                        std::stop_token stop);

// Describes a file of the given name whose bytes are in memory, reading them in the same steps as
// DescribeFile reads a file.
Description DescribeBytes(std::string_view fileName, std::span<const std::uint8_t> bytes,
                          const DescribeOptions& options);

} // namespace lmp
