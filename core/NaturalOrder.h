#pragma once

#include <string_view>

namespace lmp {

// File-list order of names: runs of digits compare by their numeric value, other characters by
// ASCII case-insensitive comparison ("track2" before "Track10"); names that compare equal so are
// ordered by their bytes, so the order is total.
int CompareNatural(std::string_view a, std::string_view b) noexcept;

inline bool NaturalLess(std::string_view a, std::string_view b) noexcept
{
    return CompareNatural(a, b) < 0;
}

} // namespace lmp
