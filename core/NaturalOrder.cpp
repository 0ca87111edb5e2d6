#include "core/NaturalOrder.h"

namespace lmp {

namespace {

bool IsDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

char FoldAscii(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int Sign(int value) noexcept
{
    return (value > 0) - (value < 0);
}

} // namespace

int CompareNatural(std::string_view a, std::string_view b) noexcept
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ia = i;
            std::size_t jb = j;
            while (ia < a.size() && a[ia] == '0')
                ++ia;
            while (jb < b.size() && b[jb] == '0')
                ++jb;
            std::size_t endA = ia;
            std::size_t endB = jb;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            // Numbers without leading zeros: the longer is larger, else the first differing digit.
            if (endA - ia != endB - jb)
                return endA - ia < endB - jb ? -1 : 1;
            for (; ia < endA; ++ia, ++jb)
                if (a[ia] != b[jb])
                    return a[ia] < b[jb] ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        const char ca = FoldAscii(a[i]);
        const char cb = FoldAscii(b[j]);
        if (ca != cb)
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return Sign(a.compare(b));
}

} // namespace lmp
