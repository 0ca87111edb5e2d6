#include "scan/DescribeFile.h"

#include <memory>
#include <string>
#include <utility>

#include "scan/FileSource.h"

namespace lmp {

namespace {

std::string FileNameText(const std::filesystem::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

} // namespace

FileType FileTypeOfPath(const std::filesystem::path& path)
{
    return FileTypeOfName(FileNameText(path));
}

FileDescriber OpenFileDescriber(const std::filesystem::path& path, DescribeOptions options, ScanMemory memory)
{
    const std::string name = FileNameText(path);
    std::unique_ptr<ByteSource> source;
    if (FileTypeOfName(name) != FileType::None)
        source = OpenFileSource(path);
    return FileDescriber(name, std::move(source), std::move(options), std::move(memory));
}

Description DescribeFile(const std::filesystem::path& path, const DescribeOptions& options)
{
    return *DescribeFile(path, options, std::stop_token());
}

std::optional<Description> DescribeFile(const std::filesystem::path& path, const DescribeOptions& options,
                                        std::stop_token stop)
{
    // Other types are not opened, and so are described whatever stop says.
    FileDescriber file = OpenFileDescriber(path, options);
    if (!file.IsGameFile())
        return std::move(file).Finish();
    do {
        if (stop.stop_requested())
            return std::nullopt;
    } while (file.ReadChunk());
    return std::move(file).Finish();
}

Description DescribeFromFacts(const std::filesystem::path& path, const DescriptionFacts& facts,
                              const DescribeOptions& options)
{
    return DescribeFacts(FileNameText(path), facts, options);
}

} // namespace lmp
