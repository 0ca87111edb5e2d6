#include "sys/SystemError.h"

#include <cerrno>

namespace lmp::sys {

std::string ErrorText(const std::error_code& error)
{
    // The system category's codes are errno values here.
    if (error.category() == std::system_category())
        return std::generic_category().message(error.value());
    return error.message();
}

bool IsOutOfHandles(const std::error_code& error) noexcept
{
    return error == std::errc::too_many_files_open || error == std::errc::too_many_files_open_in_system;
}

} // namespace lmp::sys
