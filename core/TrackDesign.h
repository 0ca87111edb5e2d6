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

// Appends the type, excitement, intensity, nausea and length lines. Fields beyond the end of the
// decoded bytes read as zero.
void DescribeTrackDesign(const ByteStream& decoded, std::string_view decimalMark, Lines& lines);

} // namespace lmp
