#pragma once

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// Whether a child process can be held to a limit of its address space (RLIMIT_AS): on Linux, but not
// under AddressSanitizer or ThreadSanitizer, whose shadow memory takes terabytes of it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LMP_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LMP_TEST_SANITIZED 1
#endif
#endif
#if defined(__linux__) && defined(__GLIBC__) && !defined(LMP_TEST_SANITIZED)
inline constexpr bool kAddressLimits = true;
#else
inline constexpr bool kAddressLimits = false;
#endif

#ifndef _WIN32
// Runs body in a child process and returns what it returns: -1 when the child did not end normally, 255
// when body threw.
inline int InChild(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int result = 255;
        try {
            result = body();
        } catch (...) {
        }
        ::_exit(result);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The process's address space in bytes (VmSize), 0 where the system does not tell.
inline std::size_t AddressSpaceSize()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmSize:", 0) == 0)
            return std::strtoull(line.c_str() + 7, nullptr, 10) << 10;
    }
    return 0;
}

// Lets the process's address space grow by at most headroom bytes from now on, the threads it starts
// taking stacks of 256 KiB so that they fit; for a child process (InChild).
inline bool LimitAddressSpace(std::size_t headroom)
{
#ifdef __GLIBC__
    pthread_attr_t small;
    if (::pthread_attr_init(&small) != 0 ||
        ::pthread_attr_setstacksize(&small, std::size_t{256} << 10) != 0 ||
        ::pthread_setattr_default_np(&small) != 0)
        return false;
#endif
    const std::size_t size = AddressSpaceSize();
    const rlimit limit{size + headroom, size + headroom};
    return size != 0 && ::setrlimit(RLIMIT_AS, &limit) == 0;
}
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
