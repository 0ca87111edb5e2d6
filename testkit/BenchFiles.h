#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "testkit/GameFiles.h"

namespace lmp::testkit {

// Game files shaped like the game's own, for benchmarks and equality tests. A park's decoded contents
// mix long runs (flat land, empty slots) with stretches that do not compress (terrain detail, the
// people and rides in use), so that it packs to a few hundred kilobytes; a track design carries a
// layout of a few kilobytes after its summary fields. The seed varies the fields and the stretches;
// the same seed gives the same file.
Bytes RealisticParkFile(FileType type, std::int32_t edition, std::uint32_t seed);
Bytes RealisticTrackDesignFile(std::int32_t edition, std::uint32_t seed);

// The counts of the benchmark folder.
struct BenchFolderCounts {
    std::size_t trackDesigns = 600;
    std::size_t trackImages = 100;
    std::size_t savedGames = 150;
    std::size_t scenarios = 150;
    // The edition of every file; kNoEdition (the default) takes each edition in turn.
    std::int32_t edition = kNoEdition;
};

// Creates folder (and its parents) and fills it with realistic files of every edition in turn (or of
// counts.edition only): track designs, each of the first ones followed by its track image, saved games
// and scenarios. Returns how many it wrote.
// Throws std::runtime_error when folder exists and is not empty, or a file cannot be written.
std::size_t WriteBenchFolder(const std::filesystem::path& folder, const BenchFolderCounts& counts = {});

} // namespace lmp::testkit
