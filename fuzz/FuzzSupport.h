#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace lmp::fuzz {

// A property that does not hold aborts, so libFuzzer keeps the input that broke it.
inline void Require(bool condition, const char* property)
{
    if (!condition) {
        std::fprintf(stderr, "property does not hold: %s\n", property);
        std::abort();
    }
}

// Takes values from the front of a fuzz input, little-endian; bytes past its end read as zero.
class FuzzInput {
public:
    explicit FuzzInput(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    std::uint8_t U8() noexcept
    {
        if (bytes_.empty())
            return 0;
        const std::uint8_t value = bytes_.front();
        bytes_ = bytes_.subspan(1);
        return value;
    }
    std::uint16_t U16() noexcept { return static_cast<std::uint16_t>(U8() | U8() << 8); }
    std::uint32_t U32() noexcept { return U16() | static_cast<std::uint32_t>(U16()) << 16; }
    std::uint64_t U64() noexcept { return U32() | static_cast<std::uint64_t>(U32()) << 32; }

    // Up to count bytes, fewer when the input ends first.
    std::span<const std::uint8_t> Take(std::size_t count) noexcept
    {
        const std::span<const std::uint8_t> taken = bytes_.first(std::min(count, bytes_.size()));
        bytes_ = bytes_.subspan(taken.size());
        return taken;
    }
    std::span<const std::uint8_t> Rest() noexcept { return Take(bytes_.size()); }
    bool Empty() const noexcept { return bytes_.empty(); }

private:
    std::span<const std::uint8_t> bytes_;
};

// Commas every three digits from the right of an optionally signed digit string, written
// independently of the core's grouping so that the two can be compared.
inline std::string GroupedFromTheRight(std::string_view plain)
{
    const std::size_t sign = !plain.empty() && plain.front() == '-' ? 1 : 0;
    std::string result(plain);
    for (std::size_t at = plain.size(); at > sign + 3; at -= 3)
        result.insert(at - 3, 1, ',');
    return result;
}

// Whether every line of a description has its label's colon in the eleventh column.
template <typename LinesT> bool ColonsAligned(const LinesT& lines, std::size_t first)
{
    for (std::size_t i = first; i < lines.size(); ++i)
        if (lines[i].size() < 12 || lines[i][10] != ':')
            return false;
    return true;
}

template <typename LinesT> std::size_t LongestLine(const LinesT& lines, std::size_t first)
{
    std::size_t longest = 0;
    for (std::size_t i = first; i < lines.size(); ++i)
        longest = std::max(longest, lines[i].size());
    return longest;
}

} // namespace lmp::fuzz
