// The pieces of describing a file and the whole describer on realistic files, beside the straightforward
// baseline, ending with a table of throughputs and ratios measured in the same run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "bench/SummaryTable.h"
#include "cli/Lmpinfo.h"
#include "core/Checksum.h"
#include "core/Describe.h"
#include "core/PackedFile.h"
#include "core/Park.h"
#include "core/RunLength.h"
#include "scan/DescribeFile.h"
#include "scan/DescribePipeline.h"
#include "testkit/Baseline.h"
#include "testkit/BenchFiles.h"
#include "testkit/GameLayout.h"

namespace {
namespace fs = std::filesystem;
using lmp::FileType;
using lmp::testkit::Bytes;

struct BenchFile {
    std::string name;
    FileType type;
    Bytes bytes;
    fs::path path;
};

// The files every case works on, written once into a fresh folder that main removes again.
struct BenchFiles {
    fs::path folder;
    BenchFile trackDesign{
        "Coaster.TD4", FileType::TrackDesign, lmp::testkit::RealisticTrackDesignFile(2, 7), {}};
    BenchFile savedGame{
        "Saved.SV4", FileType::SavedGame, lmp::testkit::RealisticParkFile(FileType::SavedGame, 0, 11), {}};
    BenchFile scenario{
        "Scenario.SC4", FileType::Scenario, lmp::testkit::RealisticParkFile(FileType::Scenario, 1, 12), {}};

    BenchFiles() : folder(fs::temp_directory_path() / ("lmp-bench-" + std::to_string(::getpid())))
    {
        fs::create_directories(folder);
        for (BenchFile* file : {&trackDesign, &savedGame, &scenario}) {
            file->path = folder / file->name;
            lmp::testkit::WriteFile(file->path, file->bytes);
        }
    }
    ~BenchFiles()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    BenchFiles(const BenchFiles&) = delete;
    BenchFiles& operator=(const BenchFiles&) = delete;
};

BenchFiles& Files()
{
    static BenchFiles files;
    return files;
}

BenchFile& FileOf(FileType type)
{
    switch (type) {
    case FileType::TrackDesign:
        return Files().trackDesign;
    case FileType::SavedGame:
        return Files().savedGame;
    default:
        return Files().scenario;
    }
}

void SetBytes(benchmark::State& state, std::size_t bytesPerIteration)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytesPerIteration));
}

// The checksum pass over a whole file in memory: the lower bound of describing it.
void BM_Checksum(benchmark::State& state, FileType type)
{
    const Bytes& bytes = FileOf(type).bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(lmp::ChecksumSteps(0, bytes));
    SetBytes(state, bytes.size());
}
BENCHMARK_CAPTURE(BM_Checksum, TrackDesign, FileType::TrackDesign);
BENCHMARK_CAPTURE(BM_Checksum, SavedGame, FileType::SavedGame);
BENCHMARK_CAPTURE(BM_Checksum, Scenario, FileType::Scenario);

void BM_ChecksumPortable(benchmark::State& state)
{
    const Bytes& bytes = Files().savedGame.bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(lmp::ChecksumStepsPortable(0, bytes));
    SetBytes(state, bytes.size());
}
BENCHMARK(BM_ChecksumPortable);

// Checksum chains of as many files at once in one loop (RunScanLoops, without decoding): how much one
// processor gains from running independent chains side by side.
void BM_ChecksumChains(benchmark::State& state)
{
    const Bytes& bytes = Files().savedGame.bytes;
    const auto chains = static_cast<std::size_t>(state.range(0));
    std::vector<lmp::ScanLoop> loops(chains);
    for (auto _ : state) {
        for (lmp::ScanLoop& loop : loops) {
            loop.checksum = 0;
            loop.next = bytes.data();
            loop.blocks = bytes.size() / 8;
        }
        lmp::RunScanLoops(loops);
        benchmark::DoNotOptimize(loops.data());
    }
    SetBytes(state, chains * bytes.size());
}
BENCHMARK(BM_ChecksumChains)->Arg(1)->Arg(2)->Arg(3)->Arg(4);

// What one worker of the describing pipeline does: as many parks at once (saved games and scenarios in
// turn), in memory, each chunk of every file scanned in one loop, then described.
void BM_DescribeInterleaved(benchmark::State& state)
{
    const auto width = static_cast<std::size_t>(state.range(0));
    std::vector<const BenchFile*> files;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < width; ++i) {
        files.push_back(i % 2 == 0 ? &Files().savedGame : &Files().scenario);
        bytes += files.back()->bytes.size();
    }
    std::vector<lmp::ScanLoop> loops;
    for (auto _ : state) {
        std::vector<lmp::FileDescriber> describers;
        for (const BenchFile* file : files)
            describers.emplace_back(file->name, file->bytes, lmp::DescribeOptions{});
        std::vector<lmp::FileDescriber*> reading;
        do {
            loops.clear();
            reading.clear();
            for (lmp::FileDescriber& describer : describers) {
                if (std::optional<lmp::ScanLoop> loop = describer.BeginChunk()) {
                    loops.push_back(*loop);
                    reading.push_back(&describer);
                }
            }
            lmp::RunScanLoops(loops);
            for (std::size_t i = 0; i < loops.size(); ++i)
                reading[i]->EndChunk(loops[i]);
        } while (!loops.empty());
        for (lmp::FileDescriber& describer : describers)
            benchmark::DoNotOptimize(std::move(describer).Finish().lines.data());
    }
    SetBytes(state, bytes);
}
BENCHMARK(BM_DescribeInterleaved)->Arg(1)->Arg(2)->Arg(3)->Arg(4);

// Bytes read with read(2) and nothing else, as cat does: the reading in "a track design within 10 us
// plus reading it".
void BM_ReadFile(benchmark::State& state, FileType type)
{
    const BenchFile& file = FileOf(type);
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        const int fd = ::open(file.path.c_str(), O_RDONLY);
        while (::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        ::close(fd);
    }
    SetBytes(state, file.bytes.size());
}
BENCHMARK_CAPTURE(BM_ReadFile, TrackDesign, FileType::TrackDesign);
BENCHMARK_CAPTURE(BM_ReadFile, SavedGame, FileType::SavedGame);

void BM_DecodeRunLength(benchmark::State& state)
{
    const lmp::ByteStream source(Files().savedGame.bytes);
    lmp::ByteStream decoded;
    for (auto _ : state) {
        lmp::DecodeRunLength(source, decoded, source.Size() - 4, lmp::kParkExtent);
        benchmark::DoNotOptimize(decoded.Bytes().data());
    }
    SetBytes(state, decoded.Size());
}
BENCHMARK(BM_DecodeRunLength);

// Each turn descrambles the last turn's output again; the work does not depend on the values.
void BM_DescrambleScenario(benchmark::State& state)
{
    const lmp::ByteStream source(Files().scenario.bytes);
    lmp::ByteStream decoded;
    lmp::DecodeRunLength(source, decoded, source.Size() - 4, lmp::kParkExtent);
    for (auto _ : state) {
        lmp::DescrambleScenario(decoded);
        benchmark::DoNotOptimize(decoded.Bytes().data());
    }
    SetBytes(state, lmp::kParkExtent - lmp::testkit::layout::kScrambledBegin);
}
BENCHMARK(BM_DescrambleScenario);

// The whole describer on a file on disk (warm in the page cache), and the baseline on the same file.
void BM_DescribeFile(benchmark::State& state, FileType type)
{
    const BenchFile& file = FileOf(type);
    const lmp::DescribeOptions options;
    for (auto _ : state) {
        const lmp::Description description = lmp::DescribeFile(file.path, options);
        benchmark::DoNotOptimize(description.lines.data());
    }
    SetBytes(state, file.bytes.size());
}
BENCHMARK_CAPTURE(BM_DescribeFile, TrackDesign, FileType::TrackDesign);
BENCHMARK_CAPTURE(BM_DescribeFile, SavedGame, FileType::SavedGame);
BENCHMARK_CAPTURE(BM_DescribeFile, Scenario, FileType::Scenario);

void BM_BaselineDescribeFile(benchmark::State& state, FileType type)
{
    const BenchFile& file = FileOf(type);
    const lmp::DescribeOptions options;
    for (auto _ : state) {
        const lmp::Description description = lmp::testkit::BaselineDescribeFile(file.path, options);
        benchmark::DoNotOptimize(description.lines.data());
    }
    SetBytes(state, file.bytes.size());
}
BENCHMARK_CAPTURE(BM_BaselineDescribeFile, TrackDesign, FileType::TrackDesign);
BENCHMARK_CAPTURE(BM_BaselineDescribeFile, SavedGame, FileType::SavedGame);
BENCHMARK_CAPTURE(BM_BaselineDescribeFile, Scenario, FileType::Scenario)->Unit(benchmark::kMillisecond);

// The phases of lmpinfo over the 1,000-file benchmark folder that take its time (bench/lmpinfo-profile.sh
// profiles a whole run): listing the folder, describing its files on the pipeline, writing their lines,
// and the whole run in process (the process's start and exit left out). Written once, when first used.
struct BenchFolder {
    fs::path path = Files().folder / "folder";
    std::vector<fs::path> files;
    std::vector<std::string> texts; // each file's lines as lmpinfo writes them

    BenchFolder()
    {
        lmp::testkit::WriteBenchFolder(path);
        files = lmp::cli::FolderFiles(path);
        lmp::cli::SeparatorRule separator(std::nullopt, false);
        for (const fs::path& file : files) {
            lmp::Description description = lmp::DescribeFile(file, {});
            if (description.lines.empty())
                continue;
            if (separator.Next())
                lmp::AddSeparator(description);
            separator.Described(description.edition);
            std::string& text = texts.emplace_back();
            for (const std::string& line : description.lines)
                text += line + '\n';
        }
    }
};

BenchFolder& Folder()
{
    static BenchFolder folder;
    return folder;
}

void BM_ListFolder(benchmark::State& state)
{
    const fs::path& path = Folder().path;
    for (auto _ : state)
        benchmark::DoNotOptimize(lmp::cli::FolderFiles(path).size());
}
BENCHMARK(BM_ListFolder)->Unit(benchmark::kMillisecond);

// As lmpinfo submits them: never more than the pipeline reaches ahead of the one taken.
void BM_PipelineFolder(benchmark::State& state)
{
    const std::vector<fs::path>& files = Folder().files;
    for (auto _ : state) {
        lmp::DescribePipeline pipeline;
        const std::size_t ahead = pipeline.Reach();
        std::size_t submitted = 0;
        for (std::size_t taken = 0; taken < files.size(); ++taken) {
            for (; submitted < files.size() && submitted - taken <= ahead; ++submitted)
                pipeline.Submit(files[submitted], {});
            benchmark::DoNotOptimize(pipeline.Next()->description);
        }
    }
}
BENCHMARK(BM_PipelineFolder)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

// Each file's text at once into a 64 KiB buffer that is flushed after every file, as lmpinfo's writer does
// when it waits for the next description.
void BM_WriteFolderLines(benchmark::State& state)
{
    const std::vector<std::string>& texts = Folder().texts;
    std::FILE* null = std::fopen("/dev/null", "w");
    std::setvbuf(null, nullptr, _IOFBF, std::size_t{64} << 10);
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const std::string& text : texts) {
            std::fwrite(text.data(), 1, text.size(), null);
            std::fflush(null);
            bytes += text.size();
        }
    }
    std::fclose(null);
    SetBytes(state, bytes);
}
BENCHMARK(BM_WriteFolderLines)->Unit(benchmark::kMillisecond);

void BM_RunFolder(benchmark::State& state)
{
    lmp::cli::Options options;
    options.paths = {Folder().path.string()};
    std::ofstream null("/dev/null");
    std::ostringstream err;
    for (auto _ : state)
        benchmark::DoNotOptimize(lmp::cli::Run(options, ".", null, err));
}
BENCHMARK(BM_RunFolder)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // --table_only leaves out the lines of the single runs.
    bool showRuns = true;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--table_only")
            showRuns = false;
        else
            arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    lmp::bench::SummaryTable table(showRuns);
    benchmark::RunSpecifiedBenchmarks(&table);
    const std::size_t decodedSize = lmp::kParkExtent;
    std::cout
        << "\nPacked sizes: track design " << Files().trackDesign.bytes.size() << " bytes, saved game "
        << Files().savedGame.bytes.size() << ", scenario " << Files().scenario.bytes.size()
        << " (first expansion, scrambled); parks decode to " << decodedSize << " bytes.\n"
        << "Processor time per iteration (of all threads for the folder's rows), the fastest repetition;\n"
        << "ratios within this run.\n";
    table.Print(
        std::cout,
        {
            {"checksum (assembly form)", "BM_Checksum/SavedGame", Files().savedGame.bytes.size(), ""},
            {"checksum (C++ form)", "BM_ChecksumPortable", Files().savedGame.bytes.size(),
             "BM_Checksum/SavedGame"},
            {"checksum of the scenario", "BM_Checksum/Scenario", Files().scenario.bytes.size(), ""},
            {"read a track design (open, read, close)", "BM_ReadFile/TrackDesign",
             Files().trackDesign.bytes.size(), ""},
            {"read a saved game", "BM_ReadFile/SavedGame", Files().savedGame.bytes.size(), ""},
            {"decode a park (output)", "BM_DecodeRunLength", decodedSize, ""},
            {"descramble a scenario", "BM_DescrambleScenario",
             decodedSize - lmp::testkit::layout::kScrambledBegin, ""},
            {"describe a track design", "BM_DescribeFile/TrackDesign", 0, "BM_ReadFile/TrackDesign"},
            {"describe a saved game", "BM_DescribeFile/SavedGame", 0, "BM_Checksum/SavedGame"},
            {"describe a scenario", "BM_DescribeFile/Scenario", 0, "BM_Checksum/Scenario"},
            {"baseline: track design", "BM_BaselineDescribeFile/TrackDesign", 0,
             "BM_DescribeFile/TrackDesign"},
            {"baseline: saved game", "BM_BaselineDescribeFile/SavedGame", 0, "BM_DescribeFile/SavedGame"},
            {"baseline: scenario", "BM_BaselineDescribeFile/Scenario", 0, "BM_DescribeFile/Scenario"},
            {"list the 1,000-file folder", "BM_ListFolder", 0, ""},
            {"describe its files (pipeline, all threads)", "BM_PipelineFolder/process_time/real_time", 0, ""},
            {"write their 8,000 lines, flushed after each file", "BM_WriteFolderLines", 0, ""},
            {"lmpinfo's run over it, in process", "BM_RunFolder/process_time/real_time", 0,
             "BM_PipelineFolder/process_time/real_time"},
        });
    benchmark::Shutdown();
    return 0;
}
