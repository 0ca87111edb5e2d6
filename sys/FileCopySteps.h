#pragma once

// The steps of CopyOneFile that each system does its own way; FileCopy.cpp puts them in order.
// Used inside sys only.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "sys/FileHandle.h"
#include "sys/InputFile.h"

namespace lmp::sys::detail {

// The error that TargetExists reports: EEXIST, or ERROR_FILE_EXISTS on Windows.
std::error_code ExistsError();

// True when target names the file that source has open (links followed).
bool IsSameFile(const InputFile& source, const std::filesystem::path& target);

// True when anything, a dangling link included, has the target's name.
bool NameTaken(const std::filesystem::path& target);

// Creates a new file at path for writing, only the owner allowed in; failing with ExistsError() when
// the name is taken.
bool CreateExclusive(const std::filesystem::path& path, FileHandle& file, std::error_code& error);

// Opens a new file without a name in folder for writing, only the owner allowed in, which LinkUnnamed
// names once it is complete; closed without a name, it is gone. False with an empty error where the
// system or the folder's file system has no such files (or a process cannot name its open files),
// false with the system's error when the folder refuses a new file.
bool CreateUnnamed(const std::filesystem::path& folder, FileHandle& file, std::error_code& error);

// Gives the unnamed file open as file the name path, only if that name is free, failing with
// ExistsError() otherwise.
bool LinkUnnamed(const FileHandle& file, const std::filesystem::path& path, std::error_code& error);

bool WriteAll(FileHandle& file, const std::uint8_t* data, std::size_t size, std::error_code& error);

// Gives the copy open as file the source's permissions and modification time, as far as an open
// file can have them, and puts it on the disk; the file stays open.
bool Settle(const InputFile& source, FileHandle& file, std::error_code& error);

// Settles the copy at path, open as file, closes it and gives it what only a closed file can have.
bool Finish(const InputFile& source, FileHandle& file, const std::filesystem::path& path,
            std::error_code& error);

// Renames temporary to target, over a file already there.
bool PlaceReplacing(const std::filesystem::path& temporary, const std::filesystem::path& target,
                    std::error_code& error);

// Renames temporary to target only if that name is free, failing with ExistsError() otherwise.
bool PlaceNoReplace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                    std::error_code& error);

void RemoveTemporary(const std::filesystem::path& path);

// When the regular file at path was last written or changed, by the later of its modification time
// and a time that setting it leaves as it is (the change time on POSIX, the creation time on
// Windows); false for anything else, a link included, or when it cannot be read.
bool LastTouched(const std::filesystem::path& path, std::chrono::system_clock::time_point& when);

// Puts the folder's entries on the disk, as far as the system allows; failing loses nothing.
void SyncFolder(const std::filesystem::path& folder);

} // namespace lmp::sys::detail
