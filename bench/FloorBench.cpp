// The floor of describing a folder: one thread reads the game files that lmpinfo opens, in chunks of
// 1 MiB as the describer does, and runs the fastest checksum this build has over every byte. Nothing can
// describe the folder on one thread in less; lmpinfo's threads are measured against it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "core/Checksum.h"
#include "core/Edition.h"

namespace {
namespace fs = std::filesystem;

struct Pass {
    double seconds = 0;
    std::uint64_t bytes = 0;
    std::uint32_t sink = 0;
};

Pass ReadAndChecksum(const std::vector<fs::path>& files, std::vector<std::uint8_t>& buffer)
{
    Pass pass;
    const auto start = std::chrono::steady_clock::now();
    for (const fs::path& file : files) {
        const int fd = ::open(file.c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        std::uint32_t checksum = 0;
        for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
            checksum = lmp::ChecksumSteps(checksum, std::span(buffer.data(), static_cast<std::size_t>(got)));
            pass.bytes += static_cast<std::uint64_t>(got);
        }
        ::close(fd);
        pass.sink ^= checksum;
    }
    pass.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return pass;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr,
                     "usage: lmp-bench-floor FOLDER [PASSES]   prints the median wall seconds of PASSES\n"
                     "       (default 5) warm passes, the files and their bytes\n");
        return 2;
    }
    try {
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(argv[1])) {
            if (entry.is_regular_file() &&
                lmp::FileTypeOfName(entry.path().filename().string()) != lmp::FileType::None)
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        const int passes = argc == 3 ? std::max(1, std::stoi(argv[2])) : 5;
        std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
        std::uint32_t sink = ReadAndChecksum(files, buffer).sink; // warms the page cache
        std::vector<double> seconds;
        std::uint64_t bytes = 0;
        for (int i = 0; i < passes; ++i) {
            const Pass pass = ReadAndChecksum(files, buffer);
            seconds.push_back(pass.seconds);
            bytes = pass.bytes;
            sink ^= pass.sink;
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("%.6f %zu %llu %u\n", seconds[seconds.size() / 2], files.size(),
                    static_cast<unsigned long long>(bytes), sink & 1u);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lmp-bench-floor: %s\n", error.what());
        return 1;
    }
}
