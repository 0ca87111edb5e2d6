#pragma once

#include <cstdint>
#include <filesystem>
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

// Describes the packed file of the given name and type.
Description DescribePackedFile(std::string_view fileName, FileType type, const PackedFile& file,
                               const DescribeOptions& options);

// Describes the file at path, choosing its type by the name's extension; files of other types are
// not opened. Throws FileError, before any line is produced, when a game file cannot be read.
Description DescribeFile(const std::filesystem::path& path, const DescribeOptions& options);

// The bytes of a file that describing a file of this type reads: the head of the packed file.
std::size_t HeadLimitFor(FileType type) noexcept;

} // namespace lmp
