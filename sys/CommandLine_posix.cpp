#include "sys/CommandLine.h"

namespace lmp::sys {

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

bool ProgramExpandsWildcards() noexcept
{
    return false;
}

} // namespace lmp::sys
