#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lmp {

// Matching texts with case ignored, as searches compare names, ride types and park names: A to Z and the
// Latin-1 capitals that park names are made of fold to small letters, and a folded text has the length of
// the original, so positions line up.

// The byte at text[i], folded.
unsigned char FoldedAt(std::string_view text, std::size_t i);
// The whole text folded.
std::string Folded(std::string_view text);
// Whether text holds folded (an already folded text) anywhere, or is exactly it.
bool HoldsFolded(std::string_view text, std::string_view folded);
bool EqualsFolded(std::string_view text, std::string_view folded);
// Whether the name matches the folded pattern: '*' any run of characters, '?' one character (not one
// byte), every other byte itself with case ignored. Time bounded by the pattern's length times the name's.
bool GlobMatches(std::string_view pattern, std::string_view name);

} // namespace lmp
