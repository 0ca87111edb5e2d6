#pragma once

#include <string>
#include <system_error>

namespace lmp::sys {

// The system's reason for an error in the C library's words ("Permission denied", "No such file or
// directory", "Too many open files"), Windows' own codes for the same causes included, so that a
// message reads the same on every system.
std::string ErrorText(const std::error_code& error);

// True when an open failed for want of file handles: the process's or the whole system's are in use,
// and one may come free.
bool IsOutOfHandles(const std::error_code& error) noexcept;

} // namespace lmp::sys
