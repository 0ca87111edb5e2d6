#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lmp::cli {

// True when the last part of path (after the last "/" or "\") holds "*" or "?".
bool HasWildcard(std::string_view path) noexcept;

// True when name matches pattern: "*" stands for any run of characters, "?" for one character, and
// ASCII letters match whatever their case, as names do on Windows.
bool WildcardMatches(std::string_view pattern, std::string_view name) noexcept;

// The entries of the folder that the last part of pattern names, files and folders, whose names
// match that part, in file-list order, each as pattern's folder part (as typed) followed by the
// name; none when nothing matches or the folder cannot be listed. Only the last part is a pattern.
std::vector<std::string> MatchWildcard(const std::string& pattern);

} // namespace lmp::cli
