#include "testkit/GameFiles.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/Checksum.h"
#include "testkit/GameLayout.h"

namespace lmp::testkit {

using namespace layout;

namespace {

void PutU8(Bytes& bytes, std::size_t offset, std::uint8_t value)
{
    if (offset < bytes.size()) {
        bytes[offset] = value;
    }
}

void PutU16(Bytes& bytes, std::size_t offset, std::uint16_t value)
{
    PutU8(bytes, offset, static_cast<std::uint8_t>(value & 0xFFu));
    PutU8(bytes, offset + 1, static_cast<std::uint8_t>(value >> 8));
}

void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        PutU8(bytes, offset + i, static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu));
    }
}

std::uint32_t GetU32(const Bytes& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

std::uint32_t ScrambleWord(std::uint32_t w)
{
    // The descrambling steps undone in reverse order: rotl 17, low byte rotr 3, rotr 8, XOR.
    w = std::rotr(w, 17);
    const auto low = static_cast<std::uint8_t>(w & 0xFFu);
    w = (w & 0xFFFFFF00u) | std::rotl(low, 3);
    w = std::rotl(w, 8);
    return w ^ kScrambleMask;
}

} // namespace

RunLengthWriter& RunLengthWriter::Literal(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > 128) {
        throw std::invalid_argument("a literal record holds 1 to 128 bytes, not " +
                                    std::to_string(bytes.size()));
    }
    body_.push_back(static_cast<std::uint8_t>(bytes.size() - 1));
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

RunLengthWriter& RunLengthWriter::Repeat(std::uint8_t value, std::size_t count)
{
    if (count < 2 || count > 129) {
        throw std::invalid_argument("a repeat record holds 2 to 129 copies, not " + std::to_string(count));
    }
    // Control byte n = 1 - count as a signed byte, that is 257 - count as an unsigned one.
    body_.push_back(static_cast<std::uint8_t>(257 - count));
    body_.push_back(value);
    return *this;
}

RunLengthWriter& RunLengthWriter::Raw(std::span<const std::uint8_t> bytes)
{
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes EncodeRunLength(std::span<const std::uint8_t> decoded)
{
    RunLengthWriter writer;
    std::size_t literalStart = 0;
    std::size_t i = 0;
    const auto flushLiteral = [&](std::size_t end) {
        while (literalStart < end) {
            const std::size_t count = std::min<std::size_t>(128, end - literalStart);
            writer.Literal(decoded.subspan(literalStart, count));
            literalStart += count;
        }
    };
    while (i < decoded.size()) {
        std::size_t run = 1;
        while (i + run < decoded.size() && decoded[i + run] == decoded[i]) {
            ++run;
        }
        if (run < 3) {
            i += run;
            continue;
        }
        flushLiteral(i);
        // Whole repeat records; a tail of one or two copies goes into the next literal.
        while (run >= 3) {
            const std::size_t count = std::min<std::size_t>(129, run);
            writer.Repeat(decoded[i], count);
            i += count;
            run -= count;
        }
        literalStart = i;
        i += run;
    }
    flushLiteral(decoded.size());
    return std::move(writer).Take();
}

Bytes PackWithDifference(std::span<const std::uint8_t> body, std::int32_t difference)
{
    ChecksumAccumulator checksum;
    checksum.Add(body);
    const std::uint32_t stored = checksum.Value() + static_cast<std::uint32_t>(difference);
    Bytes file(body.begin(), body.end());
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<std::uint8_t>((stored >> (8 * i)) & 0xFFu));
    }
    return file;
}

std::int32_t RuleDifference(FileType type, std::int32_t edition)
{
    // Editions 0 and 1 of a track design share the rule listed for edition 0.
    const std::int32_t listed = (type == FileType::TrackDesign && edition == 1) ? 0 : edition;
    for (const EditionRule& rule : EditionRules()) {
        if (rule.type == type && rule.edition == listed) {
            return rule.difference;
        }
    }
    throw std::invalid_argument("no edition rule for edition " + std::to_string(edition));
}

Bytes PackGameFile(std::span<const std::uint8_t> body, FileType type, std::int32_t edition)
{
    return PackWithDifference(body, RuleDifference(type, edition));
}

Bytes PackUnmatched(std::span<const std::uint8_t> body)
{
    // Every rule has a non-zero difference.
    return PackWithDifference(body, 0);
}

void ScrambleScenario(Bytes& decoded)
{
    for (std::size_t p = kScrambledBegin; p < kParkSize && p + 4 <= decoded.size(); p += 4) {
        PutU32(decoded, p, ScrambleWord(GetU32(decoded, p)));
    }
}

Bytes BuildTrackDesign(const TrackDesignFields& fields)
{
    Bytes bytes(fields.size, 0);
    PutU8(bytes, kTrackRideType, fields.rideType);
    PutU8(bytes, kTrackFlags, fields.expansionFlag ? kTrackExpansionFlag : 0x00);
    PutU16(bytes, kTrackLength, fields.lengthMetres);
    PutU8(bytes, kTrackExcitement, fields.excitement);
    PutU8(bytes, kTrackIntensity, fields.intensity);
    PutU8(bytes, kTrackNausea, fields.nausea);
    return bytes;
}

Bytes BuildPark(const ParkFields& fields)
{
    if (fields.name.size() > kNameSize) {
        throw std::invalid_argument("a scenario name holds at most 32 bytes");
    }
    if (fields.rides.size() > kRideCount) {
        throw std::invalid_argument("a park holds at most 255 rides");
    }
    if (fields.staff < 0 || fields.otherPeople < 0 ||
        static_cast<std::size_t>(fields.staff) + static_cast<std::size_t>(fields.otherPeople) >
            kPersonCount) {
        throw std::invalid_argument("a park holds 0 to 5000 people");
    }

    Bytes bytes(kParkSize, 0);
    PutU16(bytes, kMonthWord, fields.monthWord);
    PutU16(bytes, kDayWord, fields.dayWord);

    const auto staff = static_cast<std::size_t>(fields.staff);
    const auto inUse = staff + static_cast<std::size_t>(fields.otherPeople);
    for (std::size_t j = 0; j < kPersonCount; ++j) {
        const std::size_t record = kPersonTable + kPersonSize * j;
        // Records in use get a first byte that varies but is never the empty mark.
        PutU8(bytes, record, j < inUse ? static_cast<std::uint8_t>(j % 200) : kEmptyPerson);
        PutU8(bytes, record + kPersonStaff, j < staff ? 1 : 0);
    }

    PutU32(bytes, kCash, static_cast<std::uint32_t>(fields.cash));
    PutU16(bytes, kGuests, fields.guests);
    PutU16(bytes, kRating, fields.rating);
    PutU8(bytes, kGoalType, fields.goalType);
    PutU8(bytes, kGoalYears, fields.goalYears);
    PutU32(bytes, kGoalAmount, static_cast<std::uint32_t>(fields.goalAmount));
    PutU16(bytes, kGoalCount, fields.goalCount);

    for (std::size_t i = 0; i < kRideCount; ++i) {
        const std::size_t record = kRideTable + kRideSize * i;
        if (i >= fields.rides.size()) {
            PutU8(bytes, record, kUncountedRide);
            continue;
        }
        const RideFields& ride = fields.rides[i];
        PutU8(bytes, record, ride.type);
        PutU16(bytes, record + kRideFlags, ride.rated ? kRideRated : 0x0000);
        PutU16(bytes, record + kRideExcitement, ride.excitement);
        PutU16(bytes, record + kRideIntensity, ride.intensity);
        PutU16(bytes, record + kRideNausea, ride.nausea);
    }

    std::copy(fields.name.begin(), fields.name.end(), bytes.begin() + kName);
    PutU16(bytes, kSlot, fields.slot);
    return bytes;
}

Bytes MakeTrackDesignFile(const TrackDesignFields& fields, std::int32_t edition)
{
    TrackDesignFields flagged = fields;
    if (edition == 0 || edition == 1) {
        flagged.expansionFlag = edition == 1;
    }
    const Bytes body = EncodeRunLength(BuildTrackDesign(flagged));
    return edition == kNoEdition ? PackUnmatched(body) : PackGameFile(body, FileType::TrackDesign, edition);
}

Bytes MakeParkFile(const ParkFields& fields, FileType type, std::int32_t edition)
{
    Bytes decoded = BuildPark(fields);
    if (type == FileType::Scenario && (edition == 1 || edition == 2)) {
        ScrambleScenario(decoded);
    }
    const Bytes body = EncodeRunLength(decoded);
    return edition == kNoEdition ? PackUnmatched(body) : PackGameFile(body, type, edition);
}

void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("Cannot write file " + path.string());
    }
}

} // namespace lmp::testkit
