#pragma once

#include <cstddef>
#include <cstdint>

// Where the decoded contents of the game's files keep what the explorer shows, written down from the file
// format for the test kit's builders, its baseline, the tests, the benchmarks and the fuzzers. The core
// keeps its own copy on purpose: files built from this one check that the core reads the right places.
// Offsets count from the first decoded byte; words are little-endian.
namespace lmp::testkit::layout {

// A track design.
inline constexpr std::size_t kTrackRideType = 0;
inline constexpr std::size_t kTrackFlags = 7;
inline constexpr std::uint8_t kTrackExpansionFlag = 0x04; // set: edition 1 rather than 0
inline constexpr std::size_t kTrackLength = 43;           // 16-bit, metres
inline constexpr std::size_t kTrackExcitement = 51;       // tenths
inline constexpr std::size_t kTrackIntensity = 52;
inline constexpr std::size_t kTrackNausea = 53;
inline constexpr std::size_t kTrackSummarySize = 54; // the fields above all lie before this

// A saved game or scenario.
inline constexpr std::size_t kMonthWord = 0; // bits 0-2 month index from March, bits 3-15 year - 1
inline constexpr std::size_t kDayWord = 2;   // bits 11-15 day - 1

inline constexpr std::size_t kPersonTable = 393236;
inline constexpr std::size_t kPersonSize = 256;
inline constexpr std::size_t kPersonCount = 5000;
inline constexpr std::size_t kPersonStaff = 46;   // 1: a staff member
inline constexpr std::uint8_t kEmptyPerson = 255; // as the record's first byte

inline constexpr std::size_t kCash = 1673268; // signed 32-bit, tenths
inline constexpr std::size_t kGuests = 1674396;
inline constexpr std::size_t kRating = 1675528;
inline constexpr std::size_t kGoalType = 1676624;
inline constexpr std::size_t kGoalYears = 1676625;
inline constexpr std::size_t kGoalAmount = 1676628; // signed 32-bit
inline constexpr std::size_t kGoalCount = 1676632;

inline constexpr std::size_t kRideTable = 1718432;
inline constexpr std::size_t kRideSize = 608;
inline constexpr std::size_t kRideCount = 255;
inline constexpr std::size_t kRideFlags = 2; // 16-bit
inline constexpr std::uint16_t kRideRated = 0x0002;
inline constexpr std::size_t kRideExcitement = 240; // 16-bit, hundredths
inline constexpr std::size_t kRideIntensity = 242;
inline constexpr std::size_t kRideNausea = 244;
inline constexpr std::uint8_t kUncountedRide = 255; // a ride type counted neither as ride nor as stall

inline constexpr std::size_t kName = 2065172; // 8-bit characters up to the first zero
inline constexpr std::size_t kNameSize = 32;
inline constexpr std::size_t kSlot = 2065234; // 16-bit
inline constexpr std::size_t kParkSize = 2065236;

// Scenarios of the two expansions scramble every whole word from here up to kParkSize.
inline constexpr std::size_t kScrambledBegin = 393240;
inline constexpr std::uint32_t kScrambleMask = 0x5B5B5B5Bu;

} // namespace lmp::testkit::layout
