// Writes the seed corpus of every fuzz target into FOLDER/<target>/: valid files of every type and
// edition from the test kit, so that fuzzing starts past the checksum and reaches the summaries.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/ParkImage.h"
#include "testkit/GameFiles.h"
#include "testkit/GameLayout.h"

namespace {

namespace fs = std::filesystem;
namespace kit = lmp::testkit;
using kit::Bytes;
using lmp::FileType;

using kit::layout::kParkSize;
using kit::layout::kScrambledBegin;
constexpr std::uint32_t kDescrambledZero = 0xB6D6B6B6u; // the word that scrambles to zero

class Corpus {
public:
    Corpus(const fs::path& folder, const char* target) : folder_(folder / target)
    {
        fs::create_directories(folder_);
    }

    void Add(const Bytes& bytes) { kit::WriteFile(folder_ / ("seed-" + std::to_string(count_++)), bytes); }
    void Add(std::uint8_t prefix, const Bytes& bytes)
    {
        Bytes all = {prefix};
        all.insert(all.end(), bytes.begin(), bytes.end());
        Add(all);
    }

private:
    fs::path folder_;
    int count_ = 0;
};

Bytes Le(std::uint64_t value, int width)
{
    Bytes bytes;
    for (int i = 0; i < width; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<kit::TrackDesignFields> kDesigns = {
    {.rideType = 51, .lengthMetres = 305, .excitement = 67, .intensity = 52, .nausea = 38},
    {.rideType = 84, .lengthMetres = 65535, .excitement = 255, .intensity = 0, .nausea = 9},
    {.rideType = 200, .lengthMetres = 1, .excitement = 5, .intensity = 99, .nausea = 100},
};

std::vector<kit::ParkFields> Parks()
{
    std::vector<kit::ParkFields> parks;
    for (std::uint8_t goal = 0; goal <= 10; ++goal) {
        kit::ParkFields park = {
            .name = "Seed Park " + std::to_string(goal),
            .slot = goal,
            .goalType = goal,
            .goalYears = 3,
            .goalAmount = 650 + 100000 * goal,
            .goalCount = 1500,
            .monthWord = static_cast<std::uint16_t>(9 + goal),
            .dayWord = 0x7800,
            .rating = 650,
            .cash = -12345 * goal,
            .guests = 2500,
            .rides = {{33, true, 650, 400, 200}, {51, true, 701, 501, 301}, {28}, {64, true, 9, 9, 9}},
            .staff = goal,
            .otherPeople = 2};
        parks.push_back(park);
    }
    parks.back().name = std::string(32, 'N');
    return parks;
}

// Scrambled scenarios of a mostly empty park pack small when the empty words scramble to zero.
Bytes CompactScenarioFile(const kit::ParkFields& fields, std::int32_t edition)
{
    Bytes decoded = kit::BuildPark(fields);
    for (std::size_t p = kScrambledBegin; p + 4 <= kParkSize; p += 4) {
        if ((decoded[p] | decoded[p + 1] | decoded[p + 2] | decoded[p + 3]) == 0)
            for (std::size_t i = 0; i < 4; ++i)
                decoded[p + i] = static_cast<std::uint8_t>(kDescrambledZero >> (8 * i));
    }
    kit::ScrambleScenario(decoded);
    return kit::PackGameFile(kit::EncodeRunLength(decoded), FileType::Scenario, edition);
}

void WriteDescribeFileSeeds(const fs::path& folder)
{
    // The first byte: extension 0 ".TD4", 2 ".SV4", 4 ".SC4", 6 ".TP4"; 0x10 adds the separator.
    Corpus corpus(folder, "DescribeFile");
    for (std::int32_t edition = lmp::kNoEdition; edition <= 2; ++edition)
        for (const auto& design : kDesigns)
            corpus.Add(0x00, kit::MakeTrackDesignFile(design, edition));
    const auto parks = Parks();
    for (std::int32_t edition = lmp::kNoEdition; edition <= 2; ++edition) {
        corpus.Add(0x12, kit::MakeParkFile(parks[1], FileType::SavedGame, edition));
        corpus.Add(0x04, edition == 1 || edition == 2
                             ? CompactScenarioFile(parks[8], edition)
                             : kit::MakeParkFile(parks[8], FileType::Scenario, edition));
    }
    corpus.Add(0x06, kit::MakeTrackDesignFile(kDesigns[0], 0));
    for (const Bytes& tiny : {Bytes{}, Bytes{0x00}, Bytes{0x00, 0x41}, Bytes{0x00, 0x41, 0x84}})
        corpus.Add(0x02, tiny);
    corpus.Add(0x02, {0x00, 0x41, 0x84, 0xA8, 0x01, 0x00}); // the smallest original saved game
    corpus.Add(0x04, {0x00, 0x41, 0x8C, 0x5B, 0xFE, 0xFF}); // the smallest original scenario
}

void WriteRunLengthSeeds(const fs::path& folder)
{
    Corpus corpus(folder, "RunLength");
    const Bytes design = kit::EncodeRunLength(kit::BuildTrackDesign(kDesigns[0]));
    corpus.Add(Join({Le(54, 2), Le(0xFFFF, 2), design}));
    corpus.Add(Join({Le(0xFFFF, 2), Le(design.size(), 2), design}));
    corpus.Add(Join({Le(20, 2), Le(3, 2), kit::PackGameFile(design, FileType::TrackDesign, 2)}));
    kit::RunLengthWriter records;
    const Bytes literal(128, 0x41);
    records.Literal(literal).Repeat(0x42, 129).Repeat(0x43, 2).Literal(Bytes{0x44}).Raw(Bytes{0x7F, 1, 2});
    corpus.Add(Join({Le(0xFFFF, 2), Le(0xFFFF, 2), records.Body()}));
    corpus.Add(Join({Le(200, 2), Le(300, 2), records.Body()}));
}

void WriteNumberFormatSeeds(const fs::path& folder)
{
    // value, metres, units, scale, precision, decimals, mark choice, text.
    Corpus corpus(folder, "NumberFormat");
    const auto seed = [&](std::int32_t value, std::uint16_t metres, std::int64_t units, int scale,
                          int precision, int decimals, int mark, const std::string& text) {
        corpus.Add(Join({Le(static_cast<std::uint32_t>(value), 4), Le(metres, 2),
                         Le(static_cast<std::uint64_t>(units), 8), Le(static_cast<unsigned>(scale), 1),
                         Le(static_cast<std::uint32_t>(precision), 4), Le(static_cast<unsigned>(decimals), 1),
                         Le(static_cast<unsigned>(mark), 1), Bytes(text.begin(), text.end())}));
    };
    seed(1234567, 305, 650, 2, 6, 2, 0, "123456");
    seed(-12345, 65535, 12345678, 3, 6, 2, 1, "-1234");
    seed(-2147483647 - 1, 0, 99999948, 2, 6, 2, 0, "");
    seed(999, 1, -65, 1, 7, 2, 2, "1000000");
    seed(10, 2, 999995, 6, 5, 5, 3, "-123");
}

void WriteContentSeeds(const fs::path& folder)
{
    Corpus designs(folder, "TrackDesign");
    for (const auto& design : kDesigns)
        designs.Add(0x00, kit::BuildTrackDesign(design));
    designs.Add(
        0x01,
        kit::BuildTrackDesign(
            {.rideType = 12, .expansionFlag = true, .lengthMetres = 1000, .excitement = 1, .size = 45}));
    designs.Add(0x02, {});

    // The first byte: bit 0 the decimal mark, bit 1 descrambling rather than the summaries.
    Corpus parks(folder, "Park");
    for (const auto& park : Parks())
        parks.Add(static_cast<std::uint8_t>(park.goalType % 4),
                  lmp::fuzz::CompactParkImage(kit::BuildPark(park)));
    Bytes scrambled = kit::BuildPark(Parks()[9]);
    kit::ScrambleScenario(scrambled);
    scrambled.resize(kScrambledBegin + 4096 + 3); // a short scrambled park, cut inside a word
    parks.Add(0x02, lmp::fuzz::CompactParkImage(scrambled));
}

// A description of a large file for LargeFileFuzzer: the choice byte, the name, then the pieces.
class LargeFile {
public:
    LargeFile(std::uint8_t choice, const std::string& stem)
        : bytes_{choice, static_cast<std::uint8_t>(stem.size())}
    {
        bytes_.insert(bytes_.end(), stem.begin(), stem.end());
    }

    LargeFile& Literal(const Bytes& body)
    {
        for (std::size_t at = 0; at < body.size(); at += 128) {
            const std::size_t count = std::min<std::size_t>(128, body.size() - at);
            bytes_.push_back(static_cast<std::uint8_t>(count - 1));
            bytes_.insert(bytes_.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
                          body.begin() + static_cast<std::ptrdiff_t>(at + count));
        }
        return *this;
    }

    // times must be (n + 1) << shift for some n below 65536 and shift below 8.
    LargeFile& Repeat(const Bytes& pattern, std::size_t times)
    {
        unsigned shift = 0;
        while (times >> shift > 65536)
            ++shift;
        bytes_.push_back(static_cast<std::uint8_t>(0x80 | shift << 4 | (pattern.size() - 1)));
        bytes_.insert(bytes_.end(), pattern.begin(), pattern.end());
        const Bytes count = Le((times >> shift) - 1, 2);
        bytes_.insert(bytes_.end(), count.begin(), count.end());
        return *this;
    }

    const Bytes& Description() const noexcept { return bytes_; }

private:
    Bytes bytes_;
};

void WriteLargeFileSeeds(const fs::path& folder)
{
    // The choice byte: bits 0-1 the type (0 .TD4, 1 .SV4, 2 .SC4), bits 2-3 the trailer's edition (3
    // none), 0x10 the separator.
    Corpus corpus(folder, "LargeFile");
    // A saved game of 4.4 MB, past what a park's decoding can use, whose name bytes would drive a
    // terminal: 16009 repeat records of 129 bytes and a literal of 11 reach the name at 2065172.
    const std::string name = "\x1b]0;x\x07\x1b[2J\rCash: $9,999,999\n\x9b\t\x7f\x85";
    Bytes nameRecord = {31};
    nameRecord.insert(nameRecord.end(), name.begin(), name.end());
    nameRecord.resize(33, ' ');
    Bytes toName(12, 0);
    toName[0] = 10;
    corpus.Add(LargeFile(0x01, "Hostile\x1b[2J\nFile Name : x")
                   .Repeat({0x80, 0x00}, 16009)
                   .Literal(toName)
                   .Literal(nameRecord)
                   .Repeat({0x80, 0x01}, 2200000)
                   .Description());
    // A scenario of the first expansion, 6 MB of records, its name not UTF-8.
    corpus.Add(LargeFile(0x16, "Caf\xE9 \xC2\x85").Repeat({0x81, 0x20, 0x7F}, 2097152).Description());
    // A track design followed by 5 MB that decoding never needs.
    corpus.Add(LargeFile(0x00, "Coaster")
                   .Literal(kit::EncodeRunLength(kit::BuildTrackDesign(kDesigns[0])))
                   .Repeat({0x12, 0x34, 0x56, 0x78}, 1310720)
                   .Description());
    // 1.5 MB without a trailer that matches.
    corpus.Add(LargeFile(0x0D, "junk").Repeat({0x80, 0x00, 0x00}, 524288).Description());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lmp_fuzz_seeds FOLDER\n");
        return 2;
    }
    try {
        const fs::path folder = argv[1];
        WriteDescribeFileSeeds(folder);
        WriteRunLengthSeeds(folder);
        WriteNumberFormatSeeds(folder);
        WriteContentSeeds(folder);
        WriteLargeFileSeeds(folder);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lmp_fuzz_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}
