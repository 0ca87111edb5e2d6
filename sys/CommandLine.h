#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lmp::sys {

// The program's arguments as UTF-8 text, the program's name first. On POSIX systems argv's bytes as
// they are; on Windows the wide command line converted, since argv there is in the ANSI code page,
// which cannot hold every name.
std::vector<std::string> CommandLineArguments(int argc, const char* const* argv);

// True when the program expands wildcards in its arguments itself: Windows shells leave them as typed.
bool ProgramExpandsWildcards() noexcept;

// The path named by UTF-8 text (on POSIX systems, by the text's bytes, UTF-8 or not).
inline std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The UTF-8 text of a path (on POSIX systems its bytes, which need not be UTF-8).
inline std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace lmp::sys
