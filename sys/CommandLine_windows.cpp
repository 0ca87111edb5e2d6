#include "sys/CommandLine.h"

#include <memory>

#include "sys/WindowsApi.h"
#include "sys/WindowsText.h"

#include <shellapi.h>

namespace lmp::sys {

namespace {

struct LocalFreer {
    void operator()(wchar_t** block) const noexcept { LocalFree(block); }
};

} // namespace

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv)
{
    int count = 0;
    const std::unique_ptr<wchar_t*[], LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    return arguments;
}

bool ProgramExpandsWildcards() noexcept
{
    return true;
}

} // namespace lmp::sys
