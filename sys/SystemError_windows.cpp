#include "sys/SystemError.h"

#include "sys/WindowsApi.h"

namespace lmp::sys {

namespace {

// The C library's cause for the Windows codes that opening and reading a file give most.
bool CommonCause(int code, std::errc& cause) noexcept
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        cause = std::errc::no_such_file_or_directory;
        return true;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        cause = std::errc::permission_denied;
        return true;
    case ERROR_TOO_MANY_OPEN_FILES:
        cause = std::errc::too_many_files_open;
        return true;
    case ERROR_NO_SYSTEM_RESOURCES:
        cause = std::errc::too_many_files_open_in_system;
        return true;
    case ERROR_DIRECTORY:
        cause = std::errc::is_a_directory;
        return true;
    case ERROR_INVALID_PARAMETER:
        cause = std::errc::invalid_argument;
        return true;
    case ERROR_FILENAME_EXCED_RANGE:
        cause = std::errc::filename_too_long;
        return true;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        cause = std::errc::not_enough_memory;
        return true;
    default:
        return false;
    }
}

} // namespace

std::string ErrorText(const std::error_code& error)
{
    std::errc cause{};
    if (&error.category() == &std::system_category() && CommonCause(error.value(), cause))
        return std::generic_category().message(static_cast<int>(cause));
    std::string text = error.message();
    // The system's own texts end in a full stop and a line break.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text;
}

bool IsOutOfHandles(const std::error_code& error) noexcept
{
    std::errc cause = static_cast<std::errc>(error.value());
    if (&error.category() == &std::system_category() && !CommonCause(error.value(), cause))
        return false;
    if (&error.category() != &std::system_category() && &error.category() != &std::generic_category())
        return false;
    return cause == std::errc::too_many_files_open || cause == std::errc::too_many_files_open_in_system;
}

} // namespace lmp::sys
