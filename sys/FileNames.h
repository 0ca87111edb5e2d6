#pragma once

#include <string_view>

namespace lmp::sys {

// The rules the system's file systems set for names. (A path as UTF-8 text and back: see CommandLine.h.)

// The characters a file or folder name cannot hold besides the controls below U+0020: "/" on POSIX
// systems; on Windows \ / : * ? " < > | as well.
std::string_view ForbiddenNameCharacters() noexcept;

// Whether two names that differ only in letter case name different files: on POSIX systems they do; on
// Windows they name the same file.
bool NamesAreCaseSensitive() noexcept;

} // namespace lmp::sys
