#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/Edition.h"

namespace lmp::testkit {

using Bytes = std::vector<std::uint8_t>;

// Writes run-length records exactly as asked, so tests control every record boundary.
class RunLengthWriter {
public:
    // One literal record of 1 to 128 bytes (control byte bytes.size() - 1).
    RunLengthWriter& Literal(std::span<const std::uint8_t> bytes);
    // One repeat record of 2 to 129 copies of value (control byte 1 - count as a signed byte).
    RunLengthWriter& Repeat(std::uint8_t value, std::size_t count);
    // Bytes as they are, for malformed or cut-off records.
    RunLengthWriter& Raw(std::span<const std::uint8_t> bytes);

    const Bytes& Body() const noexcept { return body_; }
    Bytes Take() && noexcept { return std::move(body_); }

private:
    Bytes body_;
};

// A valid encoding of decoded: runs of three or more equal bytes as repeat records, the rest as
// literal records.
Bytes EncodeRunLength(std::span<const std::uint8_t> decoded);

// body followed by the trailer whose checksum difference (stored - computed) is difference.
Bytes PackWithDifference(std::span<const std::uint8_t> body, std::int32_t difference);

// The checksum difference of the edition rule for type and edition (track designs of editions 0 and
// 1 share one; the flag byte of the contents tells them apart).
std::int32_t RuleDifference(FileType type, std::int32_t edition);

// body packed so that it is of the given edition when named with the type's extension.
Bytes PackGameFile(std::span<const std::uint8_t> body, FileType type, std::int32_t edition);

// body packed with a checksum that matches no rule of any type.
Bytes PackUnmatched(std::span<const std::uint8_t> body);

// The exact inverse of DescrambleScenario, over the same region.
void ScrambleScenario(Bytes& decoded);

struct TrackDesignFields {
    std::uint8_t rideType = 0;
    bool expansionFlag = false; // bit 0x04 of byte 7: edition 1 rather than 0
    std::uint16_t lengthMetres = 0;
    std::uint8_t excitement = 0; // tenths
    std::uint8_t intensity = 0;
    std::uint8_t nausea = 0;
    std::size_t size = 54; // decoded size; at least the fields above
};

// Decoded contents of a track design, fields.size bytes; fields that do not fit in a smaller size are
// left out (for damaged, short contents).
Bytes BuildTrackDesign(const TrackDesignFields& fields);

struct RideFields {
    std::uint8_t type = 0;
    bool rated = false;
    std::uint16_t excitement = 0; // hundredths
    std::uint16_t intensity = 0;
    std::uint16_t nausea = 0;
};

struct ParkFields {
    std::string name; // bytes as stored (8-bit characters), at most 32
    std::uint16_t slot = 0;
    std::uint8_t goalType = 3;
    std::uint8_t goalYears = 0;
    std::int32_t goalAmount = 0;
    std::uint16_t goalCount = 0;
    std::uint16_t monthWord = 0; // bits 0-2 month index, bits 3-15 year - 1
    std::uint16_t dayWord = 0;   // bits 11-15 day - 1
    std::uint16_t rating = 0;
    std::int32_t cash = 0; // tenths
    std::uint16_t guests = 0;
    std::vector<RideFields> rides; // at most 255; the other ride records get an uncounted type
    int staff = 0;                 // person records marked as staff
    int otherPeople = 0;           // person records in use but not staff
};

// Decoded contents of a saved game or scenario, layout::kParkSize bytes, unscrambled.
Bytes BuildPark(const ParkFields& fields);

// Ready-made files: built, scrambled where the edition calls for it, encoded and packed. A track design
// of edition 0 or 1 gets the flag byte of that edition whatever fields.expansionFlag says. Edition
// kNoEdition packs the contents with a checksum that matches no rule (and scrambles nothing).
Bytes MakeTrackDesignFile(const TrackDesignFields& fields, std::int32_t edition);
Bytes MakeParkFile(const ParkFields& fields, FileType type, std::int32_t edition);

// Writes bytes to path, replacing the file; throws std::runtime_error on failure.
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

} // namespace lmp::testkit
