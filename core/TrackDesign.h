#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/ByteStream.h"
#include "core/Lines.h"

namespace lmp {

// Decoded bytes of a track design that the summary and the edition rule read.
inline constexpr std::size_t kTrackDesignExtent = 54;
inline constexpr std::size_t kTrackDesignFlagsOffset = 7;

// Display name of a ride type; "ERROR!" above 84.
std::string_view RideTypeName(unsigned rideType) noexcept;

// The fields of a track design as stored.
struct TrackDesignSummary {
    std::uint8_t rideType = 0;
    std::uint8_t excitement = 0; // tenths of a rating point
    std::uint8_t intensity = 0;  // tenths
    std::uint8_t nausea = 0;     // tenths
    std::uint16_t lengthMetres = 0;

    bool operator==(const TrackDesignSummary&) const = default;
};

// A rating in tenths as the lines show it: "6.70" with the given decimal mark.
std::string RatingText(std::uint8_t tenths, std::string_view decimalMark);

// Reads the summary's fields; fields beyond the end of the decoded bytes read as zero.
TrackDesignSummary SummarizeTrackDesign(const ByteStream& decoded) noexcept;

// Appends the type, excitement, intensity, nausea and length lines of the summary.
void FormatTrackDesign(const TrackDesignSummary& summary, std::string_view decimalMark, Lines& lines);

// Summarizes the decoded bytes, appends their lines and returns the summary.
TrackDesignSummary DescribeTrackDesign(const ByteStream& decoded, std::string_view decimalMark, Lines& lines);

} // namespace lmp
