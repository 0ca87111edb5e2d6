#include "scan/DescribeFile.h"

#include <memory>
#include <new>
#include <string>
#include <utility>

#include "scan/FileSource.h"
#include "sys/Allocator.h"

namespace lmp {

namespace {

std::string FileNameText(const std::filesystem::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class SystemPages final : public BlockSource {
public:
    std::span<std::uint8_t> Take(std::size_t size) override { return sys::AllocatePages(size); }
    void Give(std::span<std::uint8_t> block) noexcept override { sys::FreePages(block); }
    std::span<std::uint8_t> Grow(std::span<std::uint8_t> block, std::size_t size, std::size_t kept) override
    {
        return sys::GrowPages(block, size, kept);
    }
};

} // namespace

MemoryError::MemoryError(const std::filesystem::path& path)
    : std::runtime_error("Not enough memory to describe " + PathText(path))
{
}

std::exception_ptr DescribeFailure(const std::filesystem::path& path) noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        try {
            return std::make_exception_ptr(MemoryError(path));
        } catch (...) {
            // Not even the message could be had: what was thrown stands for it.
        }
    } catch (...) {
    }
    return std::current_exception();
}

BlockSource& PageBlocks() noexcept
{
    static SystemPages pages;
    return pages;
}

ScanMemory PageScanMemory() noexcept
{
    return {ByteStream(PageBlocks()), ByteStream(PageBlocks()), ByteStream(PageBlocks())};
}

FileType FileTypeOfPath(const std::filesystem::path& path)
{
    return FileTypeOfName(FileNameText(path));
}

FileDescriber OpenFileDescriber(const std::filesystem::path& path, const DescribeOptions& options,
                                ScanMemory* memory)
{
    const std::string name = FileNameText(path);
    if (FileTypeOfName(name) == FileType::None)
        return FileDescriber(name, nullptr, options);
    std::unique_ptr<ByteSource> source = OpenFileSource(path);
    return FileDescriber(name, std::move(source), options,
                         memory != nullptr ? std::move(*memory) : ScanMemory());
}

Description DescribeFile(const std::filesystem::path& path, const DescribeOptions& options)
{
    return *DescribeFile(path, options, std::stop_token());
}

std::optional<Description> DescribeFile(const std::filesystem::path& path, const DescribeOptions& options,
                                        std::stop_token stop)
{
    try {
        // Other types are not opened, and so are described whatever stop says.
        FileDescriber file = OpenFileDescriber(path, options);
        if (!file.IsGameFile())
            return std::move(file).Finish();
        do {
            if (stop.stop_requested())
                return std::nullopt;
        } while (file.ReadChunk());
        return std::move(file).Finish();
    } catch (const std::bad_alloc&) {
        std::rethrow_exception(DescribeFailure(path));
    }
}

Description DescribeFromFacts(const std::filesystem::path& path, const DescriptionFacts& facts,
                              const DescribeOptions& options)
{
    return DescribeFacts(FileNameText(path), facts, options);
}

} // namespace lmp
