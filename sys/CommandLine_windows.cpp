#include "sys/CommandLine.h"

#include <memory>

#include "sys/WindowsApi.h"

#include <shellapi.h>

namespace lmp::sys {

namespace {

std::string Utf8FromWide(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), size, nullptr, nullptr);
    converted.pop_back(); // the terminating zero
    return converted;
}

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
