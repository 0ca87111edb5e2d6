#include "tools/MemoryCheck.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "core/Checksum.h"
#include "core/Describe.h"
#include "scan/DescribeFile.h"
#include "testkit/GameFiles.h"

namespace lmp::tools {
namespace fs = std::filesystem;

namespace {

std::runtime_error SystemError(const std::string& what, const fs::path& path)
{
    return std::runtime_error(what + " " + path.string());
}

std::array<std::uint8_t, 4> LittleEndian(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value & 0xFFu), static_cast<std::uint8_t>((value >> 8) & 0xFFu),
            static_cast<std::uint8_t>((value >> 16) & 0xFFu), static_cast<std::uint8_t>(value >> 24)};
}

} // namespace

void MakeSparseFile(const fs::path& path, std::uint64_t size, bool matchingTrailer)
{
    if (size < 4 || size > static_cast<std::uint64_t>(INT64_MAX)) {
        throw std::runtime_error("a sparse file needs a size of at least 4 bytes");
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        throw SystemError("Cannot create file", path);
    }
    bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    if (ok && matchingTrailer) {
        // Zero bytes leave the checksum at 0, so the stored checksum is the rule's difference itself.
        const auto stored = static_cast<std::uint32_t>(testkit::RuleDifference(FileType::SavedGame, 0));
        const auto trailer = LittleEndian(stored);
        ok = ::pwrite(fd, trailer.data(), trailer.size(), static_cast<off_t>(size - 4)) == 4;
    }
    if (::close(fd) != 0 || !ok) {
        throw SystemError("Cannot write file", path);
    }
}

void MakeExpandingSavedGame(const fs::path& path, std::uint64_t decodedBytes)
{
    testkit::ParkFields park;
    park.name = "Endless Acres";
    park.rating = 640;
    park.cash = 99990;
    park.guests = 777;
    park.rides = {{0, true, 650, 500, 300}, {36, false, 0, 0, 0}};
    park.staff = 3;
    const testkit::Bytes head = testkit::EncodeRunLength(testkit::BuildPark(park));

    // Each record 0x80 0x00 stands for 129 zero bytes.
    const std::vector<std::uint8_t> records = [] {
        std::vector<std::uint8_t> chunk(1 << 16);
        for (std::size_t i = 0; i < chunk.size(); i += 2) {
            chunk[i] = 0x80;
        }
        return chunk;
    }();
    const std::uint64_t recordsPerChunk = records.size() / 2;
    const std::uint64_t chunks = decodedBytes / 129 / recordsPerChunk + 1;

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ChecksumAccumulator checksum;
    const auto write = [&](std::span<const std::uint8_t> bytes) {
        checksum.Add(bytes);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    write(head);
    for (std::uint64_t i = 0; i < chunks; ++i) {
        write(records);
    }
    const std::uint32_t stored =
        checksum.Value() + static_cast<std::uint32_t>(testkit::RuleDifference(FileType::SavedGame, 0));
    out.write(reinterpret_cast<const char*>(LittleEndian(stored).data()), 4);
    out.close();
    if (!out) {
        throw SystemError("Cannot write file", path);
    }
}

long PeakResidentKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

Measurement MeasureDescribe(const fs::path& path)
{
    Measurement measurement;
    measurement.peakBeforeKiB = PeakResidentKiB();
    const auto start = std::chrono::steady_clock::now();
    measurement.lines = DescribeFile(path, DescribeOptions{}).lines;
    measurement.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measurement.peakAfterKiB = PeakResidentKiB();
    return measurement;
}

} // namespace lmp::tools
