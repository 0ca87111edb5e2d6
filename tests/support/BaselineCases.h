// The files the describer is held to the baseline with (testkit/Baseline.h), for the core's tests over
// bytes and the scan's over the same files on disk.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "core/Describe.h"
#include "testkit/BenchFiles.h"
#include "testkit/GameFiles.h"
#include "testkit/GameLayout.h"

namespace lmp::test {

struct Case {
    std::string name; // the file name, whose extension chooses the type
    Bytes bytes;
};

inline Bytes Packed(const Bytes& decoded, FileType type, std::int32_t edition)
{
    return testkit::PackGameFile(testkit::EncodeRunLength(decoded), type, edition);
}

// A body whose last literal record claims more bytes than there are before the trailer and beyond it.
inline Bytes CutOffLiteral(FileType type, std::int32_t edition)
{
    testkit::RunLengthWriter body;
    body.Repeat(0x04, 100).Literal(Counting(20, 1)).Raw(Bytes{0x7F, 0x41, 0x42});
    return testkit::PackGameFile(body.Body(), type, edition);
}

// Realistic files of every type and edition, files whose checksum matches no rule, and damaged files
// whose checksum still matches: short contents, scrambled contents ending inside a word, records
// running into the trailer, records far beyond the extent, and files shorter than a trailer.
inline std::vector<Case> Cases()
{
    std::vector<Case> cases;
    for (std::int32_t edition = -1; edition <= 2; ++edition) {
        const std::string tag = " e" + std::to_string(edition) + " s";
        for (std::uint32_t seed = 0; seed < 4; ++seed)
            cases.push_back({"Coaster" + tag + std::to_string(seed) + ".TD4",
                             testkit::RealisticTrackDesignFile(edition, seed)});
        cases.push_back(
            {"Saved" + tag + ".SV4", testkit::RealisticParkFile(FileType::SavedGame, edition, 40)});
        cases.push_back(
            {"Scenario" + tag + ".sc4", testkit::RealisticParkFile(FileType::Scenario, edition, 50)});
    }

    const testkit::TrackDesignFields coaster = {.rideType = 52,
                                                .expansionFlag = true,
                                                .lengthMetres = 640,
                                                .excitement = 88,
                                                .intensity = 71,
                                                .nausea = 40,
                                                .size = 300};
    const Bytes track = testkit::BuildTrackDesign(coaster);
    for (const std::size_t size : std::initializer_list<std::size_t>{0, 1, 7, 8, 44, 53, 54}) {
        const Bytes cut(track.begin(), track.begin() + static_cast<std::ptrdiff_t>(size));
        cases.push_back(
            {"Short track " + std::to_string(size) + ".TD4", Packed(cut, FileType::TrackDesign, 0)});
    }
    cases.push_back({"Cut-off track.TD4", CutOffLiteral(FileType::TrackDesign, 2)});

    testkit::ParkFields park = {.name = "Harbour Lights",
                                .slot = 9,
                                .goalType = 9,
                                .goalAmount = 650,
                                .monthWord = 0x2D,
                                .dayWord = 0x4000,
                                .rating = 911,
                                .cash = -12345,
                                .guests = 4321,
                                .rides = {{33, true, 650, 400, 200}, {36}, {51, true, 701, 88, 9}},
                                .staff = 7,
                                .otherPeople = 40};
    const Bytes decoded = testkit::BuildPark(park);
    const std::size_t region = testkit::layout::kScrambledBegin;
    for (const std::size_t size : {std::size_t{0}, std::size_t{3}, region - 1, region + 1, region + 6,
                                   std::size_t{1700001}, testkit::layout::kParkSize - 1}) {
        Bytes cut(decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(size));
        cases.push_back({"Short park " + std::to_string(size) + ".SV4", Packed(cut, FileType::SavedGame, 1)});
        testkit::ScrambleScenario(cut);
        cases.push_back(
            {"Short scenario " + std::to_string(size) + ".SC4", Packed(cut, FileType::Scenario, 2)});
    }
    Bytes beyond = testkit::EncodeRunLength(decoded);
    for (int i = 0; i < 200; ++i)
        beyond.insert(beyond.end(), {0x80, 0x77, 0x05, 1, 2, 3, 4, 5, 6});
    cases.push_back({"Beyond the extent.SV4", testkit::PackGameFile(beyond, FileType::SavedGame, 2)});
    cases.push_back({"Cut-off park.SC4", CutOffLiteral(FileType::Scenario, 1)});

    for (const Bytes& tiny : {Bytes{}, Bytes{0x7C}, Bytes{0x7C, 0xA6, 0x01}, Bytes{0x7C, 0xA6, 0x01, 0x00}}) {
        for (const char* extension : {".TD4", ".SV4", ".SC4"})
            cases.push_back({"Tiny " + std::to_string(tiny.size()) + extension, tiny});
    }
    cases.push_back({"Track image.TP4", testkit::RealisticTrackDesignFile(0, 9)});
    return cases;
}

inline const std::vector<Case>& AllCases()
{
    static const std::vector<Case> cases = Cases();
    return cases;
}

inline std::vector<std::pair<std::string, DescribeOptions>> OptionSets()
{
    std::vector<std::pair<std::string, DescribeOptions>> sets = {
        {"all editions", {}},
        {"all editions, separator and decimal comma", {.withSeparator = true, .decimalMark = ","}}};
    for (std::int32_t edition = 0; edition <= 2; ++edition) {
        sets.push_back({"only edition " + std::to_string(edition),
                        {.acceptOriginal = edition == 0,
                         .acceptFirstExpansion = edition == 1,
                         .acceptSecondExpansion = edition == 2,
                         .withSeparator = true}});
    }
    return sets;
}

} // namespace lmp::test
