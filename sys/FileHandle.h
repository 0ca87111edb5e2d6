#pragma once

#include <cstdint>
#include <utility>

namespace lmp::sys {

// An open file of the system's, closed when the object goes: a file descriptor on POSIX, a HANDLE on
// Windows, both kept as an integer so that this header needs neither system's headers.
class FileHandle {
public:
    using Native = std::intptr_t;

    FileHandle() noexcept = default;
    // Takes ownership of native; -1 (the failure value of open() and of CreateFileW) holds nothing.
    explicit FileHandle(Native native) noexcept : native_(native) {}
    FileHandle(FileHandle&& other) noexcept : native_(std::exchange(other.native_, kNone)) {}
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.native_, kNone));
        return *this;
    }
    ~FileHandle() { Close(); }

    Native Get() const noexcept { return native_; }
    bool Valid() const noexcept { return native_ != kNone; }
    void Reset(Native native) noexcept
    {
        Close();
        native_ = native;
    }
    // Closes the file, if one is held; false when the system reports an error, which for a file
    // written to can mean that its last bytes did not reach the disk.
    bool Close() noexcept;

private:
    static constexpr Native kNone = -1;

    Native native_ = kNone;
};

} // namespace lmp::sys
