#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lmp::cli {

// The length of the well-formed UTF-8 sequence that starts at text[pos], 0 when none starts there
// (a stray continuation byte, a cut-off sequence, an overlong form, a surrogate, above U+10FFFF) or
// pos is past the end.
std::size_t WellFormedLength(std::string_view text, std::size_t pos) noexcept;

// text with every byte that does not belong to a well-formed sequence replaced by U+FFFD.
std::string ToValidUtf8(std::string_view text);

} // namespace lmp::cli
