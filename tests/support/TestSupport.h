#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/ByteStream.h"

namespace lmp::test {

using Bytes = std::vector<std::uint8_t>;

// False on Windows, whose tests skip what needs POSIX: names of any bytes (with "\" and bytes that are
// not UTF-8 in them), symbolic links and named pipes.
#ifdef _WIN32
inline constexpr bool kPosix = false;
#else
inline constexpr bool kPosix = true;
#endif

template <typename T> std::vector<T> Concat(std::initializer_list<std::vector<T>> parts)
{
    std::vector<T> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes Contents(const ByteStream& stream)
{
    return {stream.Bytes().begin(), stream.Bytes().end()};
}

// count bytes counting up from first, wrapping after 255.
inline Bytes Counting(std::size_t count, std::uint8_t first = 0)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

// A fresh folder under the system's temporary directory, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<unsigned> counter{0};
        static const std::string prefix = "lmp-test-" + std::to_string(std::random_device()()) + "-";
        do
            path_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(counter++));
        while (!std::filesystem::create_directory(path_));
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const noexcept { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace lmp::test
