#include "sys/FileNames.h"

namespace lmp::sys {

std::string_view ForbiddenNameCharacters() noexcept
{
    return "\\/:*?\"<>|";
}

bool NamesAreCaseSensitive() noexcept
{
    return false;
}

} // namespace lmp::sys
