#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

// Name of a month index of the month word: "March" for 0 ... "October" for 7, "" above 7.
std::string_view MonthName(unsigned monthIndex) noexcept;

// The fields of a saved game or scenario as stored, with the ride and staff scans done.
struct ParkSummary {
    bool scenario = false; // slot and goal are shown for scenarios only
    std::string name;      // UTF-8, converted from the stored 8-bit characters
    std::uint16_t slot = 0;
    std::uint8_t goalType = 0;
    std::uint8_t goalYears = 0;
    std::int32_t goalAmount = 0; // money in tenths (goal types 2 and 7), excitement in hundredths (9)
    std::uint16_t goalCount = 0; // guests (goal types 1 and 6), length in metres (8)
    unsigned monthIndex = 0;     // 0 March ... 7 October
    unsigned day = 1;            // 1 to 32
    unsigned year = 1;           // 1 to 8192
    std::uint16_t rating = 0;
    std::int32_t cash = 0; // tenths of a currency unit
    std::int32_t rides = 0;
    std::int32_t stalls = 0;
    std::uint32_t averageExcitement = 0; // hundredths, over the rated rides
    std::uint32_t averageIntensity = 0;
    std::uint32_t averageNausea = 0;
    std::uint16_t guests = 0;
    std::int32_t staff = 0;

    bool operator==(const ParkSummary&) const = default;
};

// Whether the scrambled region of decoded bytes is still scrambled: an expansion scenario that
// DescrambleScenario has not been run over.
enum class Scrambling { Plain, Scrambled };

// Reads the summary's fields and scans the ride and person tables; fields beyond the end of the
// decoded bytes read as zero. Scrambled bytes are descrambled word by word as they are read, which
// gives the summary of DescrambleScenario's result without descrambling the words nobody reads.
ParkSummary SummarizePark(const ByteStream& decoded, bool scenario,
                          Scrambling scrambling = Scrambling::Plain);

// The goal text of the goal line, "???" for an unknown goal type.
std::string GoalText(const ParkSummary& summary, std::string_view decimalMark);

// Appends the park summary: nine lines for a saved game, ten (with goal and slot) for a scenario; the
// name shows as SafeText gives it.
void FormatParkSummary(const ParkSummary& summary, std::string_view decimalMark, Lines& lines);

// Summarizes the decoded bytes, appends their lines and returns the summary.
ParkSummary DescribeParkFile(const ByteStream& decoded, bool scenario, std::string_view decimalMark,
                             Lines& lines, Scrambling scrambling = Scrambling::Plain);

} // namespace lmp
