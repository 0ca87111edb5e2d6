#include "core/TextMatch.h"

#include <algorithm>

#include "core/Utf8.h"

namespace lmp {

namespace {

bool FoldedEqualAt(std::string_view folded, std::string_view text, std::size_t at)
{
    for (std::size_t k = 0; k < folded.size(); ++k)
        if (static_cast<unsigned char>(folded[k]) != FoldedAt(text, at + k))
            return false;
    return true;
}

std::size_t CharacterLength(std::string_view text, std::size_t i)
{
    return std::max<std::size_t>(WellFormedLength(text, i), 1);
}

} // namespace

// The byte at text[i] with case ignored: A to Z and the Latin-1 capitals (U+00C0 to U+00DE but for
// U+00D7, the second byte of a sequence led by 0xC3), which park names are made of, become small letters.
// Lengths never change, so the folded text lines up with the original.
unsigned char FoldedAt(std::string_view text, std::size_t i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + ('a' - 'A'));
    if (c >= 0x80 && c <= 0x9E && c != 0x97 && i > 0 && static_cast<unsigned char>(text[i - 1]) == 0xC3)
        return static_cast<unsigned char>(c + 0x20);
    return c;
}

std::string Folded(std::string_view text)
{
    std::string folded(text);
    for (std::size_t i = 0; i < text.size(); ++i)
        folded[i] = static_cast<char>(FoldedAt(text, i));
    return folded;
}

bool HoldsFolded(std::string_view text, std::string_view folded)
{
    if (folded.size() > text.size())
        return false;
    for (std::size_t at = 0; at + folded.size() <= text.size(); ++at)
        if (FoldedEqualAt(folded, text, at))
            return true;
    return false;
}

bool EqualsFolded(std::string_view text, std::string_view folded)
{
    return text.size() == folded.size() && FoldedEqualAt(folded, text, 0);
}

// '*' any run of characters, '?' one character, every other byte itself with case ignored. After a '*',
// the rest of the pattern is tried from each later character, the last '*' only: as each piece between
// two stars has one way to match at a given place, its first place is the best, so this finds every
// match in time bounded by the pattern's length times the name's.
bool GlobMatches(std::string_view pattern, std::string_view name)
{
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starPattern = kNone;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name, n);
        } else if (p < pattern.size() && static_cast<unsigned char>(pattern[p]) == FoldedAt(name, n)) {
            ++p;
            ++n;
        } else if (starPattern != kNone) {
            p = starPattern;
            starName += CharacterLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace lmp
