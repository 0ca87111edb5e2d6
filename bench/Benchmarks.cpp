// Throughput of the pieces of describing a file: the checksum, the run-length decoder, the summaries
// and the whole path-level describer on a file on disk.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "core/Checksum.h"
#include "core/Describe.h"
#include "core/PackedFile.h"
#include "core/RunLength.h"
#include "testkit/GameFiles.h"

namespace {
namespace fs = std::filesystem;
using lmp::FileType;
using namespace lmp::testkit;

ParkFields BusyPark()
{
    ParkFields park;
    park.name = "Bench Park";
    park.slot = 7;
    park.goalType = 1;
    park.goalYears = 3;
    park.goalCount = 1500;
    park.monthWord = 9;
    park.dayWord = 0x7800;
    park.rating = 850;
    park.cash = 1234567;
    park.guests = 4321;
    for (std::uint8_t i = 0; i < 120; ++i) {
        park.rides.push_back({static_cast<std::uint8_t>(i % 85), i % 3 != 0, static_cast<std::uint16_t>(i * 7),
                              static_cast<std::uint16_t>(i * 5), static_cast<std::uint16_t>(i * 3)});
    }
    park.staff = 150;
    park.otherPeople = 3500;
    return park;
}

Bytes TrackDesignFile()
{
    TrackDesignFields fields;
    fields.rideType = 51;
    fields.lengthMetres = 1000;
    fields.excitement = 81;
    fields.intensity = 77;
    fields.nausea = 56;
    fields.size = 4096;  // a track design's layout follows the summary fields
    return MakeTrackDesignFile(fields, 2);
}

void BM_Checksum(benchmark::State& state)
{
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
    }
    for (auto _ : state) {
        lmp::ChecksumAccumulator checksum;
        checksum.Add(buffer);
        benchmark::DoNotOptimize(checksum.Value());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Checksum)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

void BM_ComputeFileChecksum(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(state.range(0)), 0x5A);
    const lmp::ByteStream buffer(std::move(bytes));
    for (auto _ : state) {
        benchmark::DoNotOptimize(lmp::ComputeFileChecksum(buffer, true));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ComputeFileChecksum)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

void BM_DecodeRunLengthOfPark(benchmark::State& state)
{
    const lmp::ByteStream source(MakeParkFile(BusyPark(), FileType::SavedGame, 0));
    lmp::ByteStream decoded;
    for (auto _ : state) {
        lmp::DecodeRunLength(source, decoded);
        benchmark::DoNotOptimize(decoded.Size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * decoded.Size()));
    state.counters["file_bytes"] = static_cast<double>(source.Size());
}
BENCHMARK(BM_DecodeRunLengthOfPark)->Unit(benchmark::kMillisecond);

void DescribePacked(benchmark::State& state, const Bytes& file, std::string_view name, FileType type)
{
    const lmp::PackedFile packed = lmp::ScanPackedBytes(file, lmp::HeadLimitFor(type));
    const lmp::DescribeOptions options;
    for (auto _ : state) {
        const lmp::Description description = lmp::DescribePackedFile(name, type, packed, options);
        benchmark::DoNotOptimize(description.lines.data());
    }
}

void BM_DescribePackedFileOfScenario(benchmark::State& state)
{
    DescribePacked(state, MakeParkFile(BusyPark(), FileType::Scenario, 2), "bench.SC4", FileType::Scenario);
}
BENCHMARK(BM_DescribePackedFileOfScenario)->Unit(benchmark::kMillisecond);

void BM_DescribePackedFileOfSavedGame(benchmark::State& state)
{
    DescribePacked(state, MakeParkFile(BusyPark(), FileType::SavedGame, 0), "bench.SV4", FileType::SavedGame);
}
BENCHMARK(BM_DescribePackedFileOfSavedGame)->Unit(benchmark::kMillisecond);

void BM_DescribePackedFileOfTrackDesign(benchmark::State& state)
{
    DescribePacked(state, TrackDesignFile(), "bench.TD4", FileType::TrackDesign);
}
BENCHMARK(BM_DescribePackedFileOfTrackDesign)->Unit(benchmark::kMicrosecond);

// A file on disk, read, checksummed, decoded and summarised on every iteration.
void DescribeOnDisk(benchmark::State& state, const Bytes& file, const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("lmp-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path path = folder / name;
    WriteFile(path, file);
    const lmp::DescribeOptions options;
    for (auto _ : state) {
        const lmp::Description description = lmp::DescribeFile(path, options);
        benchmark::DoNotOptimize(description.lines.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    fs::remove_all(folder);
}

void BM_DescribeFileOfSavedGameOnDisk(benchmark::State& state)
{
    DescribeOnDisk(state, MakeParkFile(BusyPark(), FileType::SavedGame, 1), "bench.SV4");
}
BENCHMARK(BM_DescribeFileOfSavedGameOnDisk)->Unit(benchmark::kMillisecond);

void BM_DescribeFileOfTrackDesignOnDisk(benchmark::State& state)
{
    DescribeOnDisk(state, TrackDesignFile(), "bench.TD4");
}
BENCHMARK(BM_DescribeFileOfTrackDesignOnDisk)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
