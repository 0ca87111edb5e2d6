// Describing a folder's game files with nothing in the page cache: lmp-bench-cold FOLDER [RUNS] drops the
// cache before each run and describes every game file through a DescribePipeline, for several numbers of
// worker threads, of files each reads at once and of files asked of the disk ahead, and prints the median
// wall seconds of RUNS (default 3) runs of each: how the time moves with the number of reads in flight.
// Beside it, the median of as many runs warm, the cache full, for what asking ahead costs when nothing is
// read from disk. Needs root.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/Edition.h"
#include "scan/DescribeFile.h"
#include "scan/DescribePipeline.h"
#include "sys/Allocator.h"

namespace {
namespace fs = std::filesystem;

double DescribeAll(const std::vector<fs::path>& files, lmp::PipelineSettings settings)
{
    const auto start = std::chrono::steady_clock::now();
    lmp::DescribePipeline pipeline(settings);
    const std::size_t ahead = pipeline.Reach() + pipeline.Threads() * 4;
    std::size_t submitted = 0;
    for (;;) {
        while (submitted < files.size() && pipeline.Pending() < ahead)
            pipeline.Submit(files[submitted++], {});
        if (!pipeline.Next())
            break;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: lmp-bench-cold FOLDER [RUNS]\n");
        return 2;
    }
    try {
        lmp::sys::KeepLargeBuffersForReuse();
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(argv[1])) {
            if (lmp::FileTypeOfPath(entry.path()) != lmp::FileType::None)
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        const int runs = argc == 3 ? std::max(1, std::stoi(argv[2])) : 3;
        // Reads in flight: threads × files each thread reads at once, plus the files asked for ahead.
        struct Case {
            unsigned threads;
            unsigned interleave;
            std::size_t prefetch;
        };
        for (const Case c :
             {Case{1, 2, 0}, Case{1, 2, 16}, Case{2, 1, 0}, Case{2, 2, 0}, Case{2, 4, 0}, Case{2, 8, 0},
              Case{2, 2, 4}, Case{2, 2, 16}, Case{2, 2, 64}, Case{4, 2, 0}, Case{4, 2, 16}, Case{8, 2, 0}}) {
            const lmp::PipelineSettings settings{
                .threads = c.threads, .interleave = c.interleave, .prefetch = c.prefetch};
            std::vector<double> cold;
            for (int run = 0; run < runs; ++run) {
                if (!DropPageCache()) {
                    std::fprintf(stderr, "lmp-bench-cold: the page cache cannot be dropped here\n");
                    return 3;
                }
                cold.push_back(DescribeAll(files, settings));
            }
            std::vector<double> warm;
            std::vector<double> warmProcessor;
            for (int run = 0; run < runs; ++run) {
                const double processor = ProcessorMilliseconds();
                warm.push_back(DescribeAll(files, settings));
                warmProcessor.push_back((ProcessorMilliseconds() - processor) / 1e3);
            }
            std::sort(cold.begin(), cold.end());
            std::sort(warm.begin(), warm.end());
            std::sort(warmProcessor.begin(), warmProcessor.end());
            std::printf("cold threads %u at-once %u prefetch %zu: %.4f s warm %.4f s (processor %.4f s)\n",
                        c.threads, c.interleave, c.prefetch, cold[cold.size() / 2], warm[warm.size() / 2],
                        warmProcessor[warmProcessor.size() / 2]);
            std::fflush(stdout);
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lmp-bench-cold: %s\n", error.what());
        return 1;
    }
}
