#include "cli/Wildcards.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/NaturalOrder.h"
#include "core/Utf8.h"
#include "sys/CommandLine.h"

namespace lmp::cli {
namespace fs = std::filesystem;

namespace {

std::size_t LastPartStart(std::string_view path) noexcept
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

char Lower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// One character of name at pos: a well-formed UTF-8 sequence, or a single stray byte.
std::size_t CharacterLength(std::string_view name, std::size_t pos) noexcept
{
    return std::max<std::size_t>(WellFormedLength(name, pos), 1);
}

} // namespace

bool HasWildcard(std::string_view path) noexcept
{
    return path.find_first_of("*?", LastPartStart(path)) != std::string_view::npos;
}

bool WildcardMatches(std::string_view pattern, std::string_view name) noexcept
{
    // Greedy matching that, on a mismatch, lets the last "*" take one more character.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name, n);
        } else if (p < pattern.size() && Lower(pattern[p]) == Lower(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starN += CharacterLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> MatchWildcard(const std::string& pattern)
{
    const std::size_t start = LastPartStart(pattern);
    const std::string folderText = pattern.substr(0, start);
    const std::string_view namePattern = std::string_view(pattern).substr(start);
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(sys::PathFromUtf8(folderText.empty() ? "." : folderText), error), end;
         !error && it != end; it.increment(error)) {
        std::string name = sys::Utf8FromPath(it->path().filename());
        if (WildcardMatches(namePattern, name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    for (std::string& name : names)
        name.insert(0, folderText);
    return names;
}

} // namespace lmp::cli
