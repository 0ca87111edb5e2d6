#include "core/PackedFile.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <share.h>
#endif

namespace lmp {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Read-only; on Windows other programs may read the file but not write it while it is open.
FileHandle OpenForReading(const std::filesystem::path& path)
{
#ifdef _WIN32
    return FileHandle(_wfsopen(path.c_str(), L"rb", _SH_DENYWR));
#else
    return FileHandle(std::fopen(path.c_str(), "rb"));
#endif
}

} // namespace

void PackedFileScanner::Feed(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return;
    if (head_.Size() < headLimit_)
        head_.Append(bytes.first(std::min(bytes.size(), headLimit_ - head_.Size())));
    size_ += bytes.size();

    // The last four bytes seen may be the trailer, so they reach the checksum only once four more
    // bytes have followed them.
    if (bytes.size() >= 4) {
        checksum_.Add(std::span<const std::uint8_t>(pending_, pendingCount_));
        checksum_.Add(bytes.first(bytes.size() - 4));
        std::copy_n(bytes.end() - 4, 4, pending_);
        pendingCount_ = 4;
        return;
    }
    std::uint8_t joined[8];
    std::copy_n(pending_, pendingCount_, joined);
    std::copy(bytes.begin(), bytes.end(), joined + pendingCount_);
    const std::size_t count = pendingCount_ + bytes.size();
    const std::size_t settled = count > 4 ? count - 4 : 0;
    checksum_.Add(std::span<const std::uint8_t>(joined, settled));
    std::copy(joined + settled, joined + count, pending_);
    pendingCount_ = count - settled;
}

PackedFile PackedFileScanner::Finish() &&
{
    PackedFile file;
    file.size = size_;
    file.computedChecksum = checksum_.Value();
    if (pendingCount_ == 4) {
        file.storedChecksum = static_cast<std::uint32_t>(pending_[0]) | static_cast<std::uint32_t>(pending_[1]) << 8 |
                              static_cast<std::uint32_t>(pending_[2]) << 16 |
                              static_cast<std::uint32_t>(pending_[3]) << 24;
    }
    file.head = std::move(head_);
    return file;
}

PackedFile ScanPackedBytes(std::span<const std::uint8_t> bytes, std::size_t headLimit)
{
    PackedFileScanner scanner(headLimit);
    scanner.Feed(bytes);
    return std::move(scanner).Finish();
}

PackedFile ReadPackedFile(const std::filesystem::path& path, std::size_t headLimit)
{
    // Folders, devices and pipes are no game files; a pipe or device could also block or never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw FileError(PathText(path));
    const FileHandle file = OpenForReading(path);
    if (!file)
        throw FileError(PathText(path));
    const std::uintmax_t sizeAtOpen = std::filesystem::file_size(path, error);
    if (error)
        throw FileError(PathText(path));

    // Reading stops at the size the file had when it was opened, so a file that grows meanwhile
    // cannot keep the read going.
    PackedFileScanner scanner(headLimit);
    std::vector<std::uint8_t> chunk(kChunkSize);
    std::uintmax_t remaining = sizeAtOpen;
    while (remaining > 0) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uintmax_t>(remaining, chunk.size()));
        const std::size_t got = std::fread(chunk.data(), 1, wanted, file.get());
        if (std::ferror(file.get()))
            throw FileError(PathText(path));
        scanner.Feed(std::span<const std::uint8_t>(chunk.data(), got));
        remaining -= got;
        if (got < wanted)
            break;
    }
    return std::move(scanner).Finish();
}

} // namespace lmp
