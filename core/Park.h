#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/ByteStream.h"
#include "core/Lines.h"

namespace lmp {

// Decoded bytes of a saved game or scenario that the summary and the descrambling read.
inline constexpr std::size_t kParkExtent = 2065236;

enum class RideClass { Ride, Stall, NotCounted };

RideClass ClassifyRideType(std::uint8_t rideType) noexcept;

// Undoes the scrambling of expansion scenarios in place, one 32-bit word at a time over the
// scrambled region; words that do not lie wholly inside the decoded bytes are left as they are.
void DescrambleScenario(ByteStream& decoded) noexcept;

// Appends the park summary: nine lines for a saved game, ten (with goal and slot) for a scenario.
// Fields beyond the end of the decoded bytes read as zero.
void DescribeParkFile(const ByteStream& decoded, bool scenario, std::string_view decimalMark,
                      Lines& lines);

} // namespace lmp
