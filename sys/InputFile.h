#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>
#include <utility>

#include "sys/FileHandle.h"

namespace lmp::sys {

// A regular file open for reading only. On Windows other programs may read it but not write it
// while it is open.
class InputFile {
public:
    // Opens the regular file at path, links followed, without waiting: a folder, a named pipe, a
    // device, a missing or unreadable file give none and the system's error in error (a named pipe or a
    // device std::errc::invalid_argument, a folder std::errc::is_a_directory on POSIX systems).
    static std::optional<InputFile> Open(const std::filesystem::path& path, std::error_code& error);

    // The file's size when it was opened.
    std::uint64_t Size() const noexcept { return size_; }
    // Reads on from where the last read stopped until out is full or the file ends; got counts the
    // bytes read, also when a read error stops it (false, the system's error in error).
    bool Read(std::span<std::uint8_t> out, std::size_t& got, std::error_code& error) noexcept;
    bool Read(std::span<std::uint8_t> out, std::size_t& got) noexcept
    {
        std::error_code ignored;
        return Read(out, got, ignored);
    }
    // The open file, for the layer's other services to work on.
    const FileHandle& Handle() const noexcept { return handle_; }

private:
    InputFile(FileHandle handle, std::uint64_t size) noexcept : handle_(std::move(handle)), size_(size) {}

    FileHandle handle_;
    std::uint64_t size_ = 0;
};

// Asks the system to start reading the first `bytes` of the regular file at path into its cache and
// returns without waiting for them, unless the last of them is in the cache already: true then, and
// nothing is asked. Opening the file may still wait for its entry. Asks nothing for a file that cannot
// be opened or is not a regular file, and nothing on Windows, which has no such request for a file
// about to be read (false for those).
bool PrefetchFile(const std::filesystem::path& path, std::uint64_t bytes) noexcept;
// Whether PrefetchFile asks anything of the system here.
extern const bool kPrefetchFileWorks;

} // namespace lmp::sys
