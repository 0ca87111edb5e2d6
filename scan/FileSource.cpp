#include "scan/FileSource.h"

#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "sys/InputFile.h"
#include "sys/SystemError.h"

namespace lmp {

namespace {

// The path as FileError's text shows it: its UTF-8 text.
std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The system's reason, as a message shows it after the path; sys::InputFile turns away a named pipe or a
// device as an invalid argument.
std::string Reason(const std::error_code& error)
{
    if (&error.category() == &std::generic_category() &&
        error.value() == static_cast<int>(std::errc::invalid_argument))
        return "Not a regular file";
    return sys::ErrorText(error);
}

class FileSource final : public ByteSource {
public:
    FileSource(sys::InputFile input, std::filesystem::path path)
        : input_(std::move(input)), path_(std::move(path))
    {
    }

    std::uint64_t Size() const override { return input_.Size(); }

    std::size_t Read(std::span<std::uint8_t> into) override
    {
        std::size_t got = 0;
        std::error_code error;
        if (!input_.Read(into, got, error))
            throw FileError(PathText(path_), Reason(error), error);
        return got;
    }

private:
    sys::InputFile input_;
    std::filesystem::path path_; // for the error's text
};

} // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::filesystem::path& path)
{
    std::error_code error;
    std::optional<sys::InputFile> opened = sys::InputFile::Open(path, error);
    if (!opened)
        throw FileError(PathText(path), Reason(error), error);
    return std::make_unique<FileSource>(std::move(*opened), path);
}

PackedFile ReadPackedFile(const std::filesystem::path& path, std::size_t extent)
{
    PackedFileReader reader(OpenFileSource(path), extent);
    while (reader.ReadChunk()) {
    }
    return std::move(reader).Finish();
}

} // namespace lmp
