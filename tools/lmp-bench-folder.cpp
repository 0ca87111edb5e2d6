// The folder of the folder benchmark, and the checksum pass over its game files on its own.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Checksum.h"
#include "core/Edition.h"
#include "testkit/BenchFiles.h"

namespace {
namespace fs = std::filesystem;

double ProcessSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The files that lmpinfo opens in the folder: its game files, whole, in memory.
std::vector<std::vector<std::uint8_t>> GameFiles(const fs::path& folder)
{
    std::vector<std::vector<std::uint8_t>> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() ||
            lmp::FileTypeOfName(entry.path().filename().string()) == lmp::FileType::None)
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

// The fastest of several passes, in processor seconds, so that other programs on the machine count less.
int ChecksumPass(const fs::path& folder, int passes)
{
    const auto files = GameFiles(folder);
    std::size_t bytes = 0;
    for (const auto& file : files)
        bytes += file.size();
    double best = 1e30;
    std::uint32_t sink = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const double start = ProcessSeconds();
        for (const auto& file : files)
            sink ^= lmp::ChecksumSteps(0, file);
        best = std::min(best, ProcessSeconds() - start);
    }
    std::printf("%.6f %zu %zu %u\n", best, files.size(), bytes, sink & 1u);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 || argc == 4 ? argv[1] : "";
    const bool collection = mode == "collection" && argc == 4;
    if (mode != "write" && mode != "write-large" && mode != "checksum" && mode != "tree" && !collection) {
        std::cerr
            << "usage: lmp-bench-folder write DIR     writes the benchmark folder into DIR, which must be "
               "new\n"
               "                                     or empty: 600 .TD4, 100 .TP4, 150 .SV4, 150 .SC4\n"
               "       lmp-bench-folder write-large DIR  the same with 6,000 .TD4, each with its .TP4\n"
               "       lmp-bench-folder checksum DIR  prints the processor seconds of the checksum over the\n"
               "                                     folder's game files in memory, their count and bytes\n"
               "       lmp-bench-folder tree DIR      writes a tree of 100,000 track designs into DIR: 10\n"
               "                                     folders of 10 folders of 1,000 files\n"
               "       lmp-bench-folder collection N DIR  writes N track designs of the first expansion,\n"
               "                                     ratings varied, each followed by its .TP4\n";
        return 2;
    }
    try {
        if (collection) {
            const std::size_t designs = std::stoul(argv[2]);
            const std::size_t count = lmp::testkit::WriteBenchFolder(argv[3], {.trackDesigns = designs,
                                                                               .trackImages = designs,
                                                                               .savedGames = 0,
                                                                               .scenarios = 0,
                                                                               .edition = 1});
            std::cout << "Wrote " << count << " files to " << argv[3] << '\n';
            return 0;
        }
        if (mode == "checksum")
            return ChecksumPass(argv[2], 5);
        if (mode == "tree") {
            const lmp::testkit::BenchFolderCounts designs{1000, 0, 0, 0};
            std::size_t count = 0;
            for (int group = 1; group <= 10; ++group) {
                for (int folder = 1; folder <= 10; ++folder)
                    count += lmp::testkit::WriteBenchFolder(fs::path(argv[2]) /
                                                                ("Group " + std::to_string(group)) /
                                                                ("Folder " + std::to_string(folder)),
                                                            designs);
            }
            std::cout << "Wrote " << count << " files to " << argv[2] << '\n';
            return 0;
        }
        const std::size_t count =
            mode == "write-large"
                ? lmp::testkit::WriteBenchFolder(
                      argv[2], {.trackDesigns = 6000, .trackImages = 6000, .savedGames = 0, .scenarios = 0})
                : lmp::testkit::WriteBenchFolder(argv[2]);
        std::cout << "Wrote " << count << " files to " << argv[2] << '\n';
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "lmp-bench-folder: " << error.what() << '\n';
        return 1;
    }
}
