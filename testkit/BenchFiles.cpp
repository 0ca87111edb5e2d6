#include "testkit/BenchFiles.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "testkit/GameLayout.h"

namespace lmp::testkit {
namespace fs = std::filesystem;
using namespace layout;

namespace {

// The map lies between the date words and the person table.
constexpr std::size_t kMapBegin = kDayWord + 2;
constexpr std::size_t kRideTableEnd = kRideTable + kRideCount * kRideSize;

// xorshift32: cheap, deterministic, and good enough to defeat the run-length encoder.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    std::uint32_t Next() noexcept
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint32_t Below(std::uint32_t bound) noexcept { return Next() % bound; }
    std::uint8_t Byte() noexcept { return static_cast<std::uint8_t>(Next() >> 24); }
    void Fill(Bytes& bytes, std::size_t begin, std::size_t end)
    {
        for (std::size_t i = begin; i < end && i < bytes.size(); ++i)
            bytes[i] = Byte();
    }

private:
    std::uint32_t state_;
};

// Blocks of detail among flat stretches, each flat stretch one repeated byte.
void Landscape(Bytes& bytes, std::size_t begin, std::size_t end, std::uint32_t detailPercent, Noise& noise)
{
    constexpr std::size_t kBlock = 512;
    for (std::size_t at = begin; at < end; at += kBlock) {
        const std::size_t stop = std::min(at + kBlock, end);
        if (noise.Below(100) < detailPercent) {
            noise.Fill(bytes, at, stop);
        } else {
            std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(stop), noise.Byte());
        }
    }
}

ParkFields VariedPark(std::uint32_t seed, Noise& noise)
{
    ParkFields park;
    park.name = "Park " + std::to_string(seed);
    park.slot = static_cast<std::uint16_t>(noise.Below(40));
    park.goalType = static_cast<std::uint8_t>(noise.Below(11));
    park.goalYears = static_cast<std::uint8_t>(1 + noise.Below(5));
    park.goalAmount = static_cast<std::int32_t>(noise.Below(2000000));
    park.goalCount = static_cast<std::uint16_t>(noise.Below(5000));
    park.monthWord = static_cast<std::uint16_t>(noise.Below(8) + (noise.Below(20) << 3));
    park.dayWord = static_cast<std::uint16_t>(noise.Below(31) << 11);
    park.rating = static_cast<std::uint16_t>(noise.Below(1000));
    park.cash = static_cast<std::int32_t>(noise.Below(4000000)) - 200000;
    park.guests = static_cast<std::uint16_t>(noise.Below(6000));
    const std::uint32_t rides = 20 + noise.Below(200);
    for (std::uint32_t i = 0; i < rides; ++i) {
        park.rides.push_back({static_cast<std::uint8_t>(noise.Below(90)), noise.Below(4) != 0,
                              static_cast<std::uint16_t>(noise.Below(1000)),
                              static_cast<std::uint16_t>(noise.Below(1000)),
                              static_cast<std::uint16_t>(noise.Below(1000))});
    }
    park.staff = static_cast<int>(10 + noise.Below(150));
    park.otherPeople = static_cast<int>(300 + noise.Below(2200));
    return park;
}

} // namespace

Bytes RealisticParkFile(FileType type, std::int32_t edition, std::uint32_t seed)
{
    Noise noise(seed);
    const ParkFields park = VariedPark(seed, noise);
    Bytes decoded = BuildPark(park);

    Landscape(decoded, kMapBegin, kPersonTable, 35, noise);
    const auto people = static_cast<std::size_t>(park.staff + park.otherPeople);
    for (std::size_t j = 0; j < people; ++j) {
        const std::size_t record = kPersonTable + kPersonSize * j;
        noise.Fill(decoded, record + 1, record + kPersonStaff);
        noise.Fill(decoded, record + kPersonStaff + 1, record + 128);
    }
    for (std::size_t i = 0; i < park.rides.size(); ++i) {
        const std::size_t record = kRideTable + kRideSize * i;
        noise.Fill(decoded, record + kRideFlags + 2, record + kRideExcitement);
        noise.Fill(decoded, record + kRideNausea + 2, record + 300);
    }
    Landscape(decoded, kRideTableEnd, kName, 20, noise);

    if (type == FileType::Scenario && (edition == 1 || edition == 2))
        ScrambleScenario(decoded);
    const Bytes body = EncodeRunLength(decoded);
    return edition == kNoEdition ? PackUnmatched(body) : PackGameFile(body, type, edition);
}

Bytes RealisticTrackDesignFile(std::int32_t edition, std::uint32_t seed)
{
    Noise noise(seed);
    TrackDesignFields fields;
    fields.rideType = static_cast<std::uint8_t>(noise.Below(91));
    fields.expansionFlag = edition == 1;
    fields.lengthMetres = static_cast<std::uint16_t>(noise.Below(3000));
    fields.excitement = noise.Byte();
    fields.intensity = noise.Byte();
    fields.nausea = noise.Byte();
    fields.size = 1500 + noise.Below(5000);
    Bytes decoded = BuildTrackDesign(fields);
    // Scenery and track pieces: mostly varied, with a few runs of filler.
    Landscape(decoded, kTrackSummarySize, decoded.size(), 70, noise);
    const Bytes body = EncodeRunLength(decoded);
    return edition == kNoEdition ? PackUnmatched(body) : PackGameFile(body, FileType::TrackDesign, edition);
}

std::size_t WriteBenchFolder(const fs::path& folder, const BenchFolderCounts& counts)
{
    fs::create_directories(folder);
    if (!fs::is_empty(folder))
        throw std::runtime_error("not an empty folder: " + folder.string());
    std::size_t written = 0;
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        WriteFile(folder / name, bytes);
        ++written;
    };
    const auto edition = [&counts](std::uint32_t i) {
        return counts.edition == kNoEdition ? static_cast<std::int32_t>(i % 3) : counts.edition;
    };
    for (std::uint32_t i = 0; i < counts.trackDesigns; ++i) {
        const std::string stem = "Coaster " + std::to_string(i + 1);
        write(stem + ".TD4", RealisticTrackDesignFile(edition(i), i));
        // Track images are listed but never read; their bytes do not matter, their sizes vary.
        if (i < counts.trackImages)
            write(stem + ".TP4", Bytes(2048 + i % 8192, static_cast<std::uint8_t>(i)));
    }
    for (std::uint32_t i = 0; i < counts.savedGames; ++i)
        write("Saved " + std::to_string(i + 1) + ".SV4",
              RealisticParkFile(FileType::SavedGame, edition(i), 1000 + i));
    for (std::uint32_t i = 0; i < counts.scenarios; ++i)
        write("Scenario " + std::to_string(i + 1) + ".SC4",
              RealisticParkFile(FileType::Scenario, edition(i), 2000 + i));
    return written;
}

} // namespace lmp::testkit
