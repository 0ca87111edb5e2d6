#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "testkit/GameLayout.h"

namespace lmp::fuzz {

// Decoded park contents in a form that short fuzz inputs can reach: most of a park's two megabytes
// are filler and its fields lie far apart, so an input gives a size, a fill byte and patches, each
// placed by a 16-bit offset from one of the anchors below.
//
//   u8 flags (bit 0: size below 64 KiB), u32 size, u8 fill,
//   then patches: u8 anchor, u16 offset, u8 count, count bytes.
// Sorted, and no two more than 65,536 apart, so every byte of a park has an anchor.
inline constexpr std::array<std::size_t, 40> kParkAnchors = [] {
    namespace layout = testkit::layout;
    std::array<std::size_t, 40> anchors{};
    std::size_t n = 0;
    for (std::size_t k = 0; k < 7; ++k) // the date and the start of the scrambled region
        anchors[n++] = 65536 * k;
    for (std::size_t k = 0; k < 20; ++k) // the person table, 1,280,000 bytes
        anchors[n++] = layout::kPersonTable + 65536 * k;
    for (const std::size_t field : {layout::kCash, layout::kGuests, layout::kRating, layout::kGoalType})
        anchors[n++] = field - 16;
    for (std::size_t k = 0; k < 6; ++k) // the ride table, 155,040 bytes, and beyond
        anchors[n++] = layout::kRideTable + 65536 * k;
    anchors[n++] = layout::kName - 16;
    anchors[n++] = layout::kSlot - 16;
    anchors[n++] = layout::kParkSize - 16;
    return anchors;
}();

inline constexpr std::size_t kLargestParkImage = testkit::layout::kParkSize + 4096;

inline std::vector<std::uint8_t> ExpandParkImage(FuzzInput& input)
{
    const std::uint8_t flags = input.U8();
    const std::uint32_t rawSize = input.U32();
    const std::size_t size = (flags & 1) != 0 ? rawSize % 65536 : rawSize % (kLargestParkImage + 1);
    std::vector<std::uint8_t> bytes(size, input.U8());
    while (!input.Empty()) {
        const std::size_t at = kParkAnchors[input.U8() % kParkAnchors.size()] + input.U16();
        const std::span<const std::uint8_t> patch = input.Take(input.U8());
        for (std::size_t i = 0; i < patch.size() && at + i < bytes.size(); ++i)
            bytes[at + i] = patch[i];
    }
    return bytes;
}

// The input that ExpandParkImage turns back into decoded (filled with zeros, patched where not zero).
inline std::vector<std::uint8_t> CompactParkImage(std::span<const std::uint8_t> decoded)
{
    const auto size = static_cast<std::uint32_t>(decoded.size());
    std::vector<std::uint8_t> out = {0,
                                     static_cast<std::uint8_t>(size),
                                     static_cast<std::uint8_t>(size >> 8),
                                     static_cast<std::uint8_t>(size >> 16),
                                     static_cast<std::uint8_t>(size >> 24),
                                     0};
    for (std::size_t at = 0; at < decoded.size();) {
        if (decoded[at] == 0) {
            ++at;
            continue;
        }
        std::size_t anchor = 0;
        for (std::size_t a = 0; a < kParkAnchors.size(); ++a)
            if (kParkAnchors[a] <= at)
                anchor = a;
        std::size_t count = 0;
        while (count < 255 && at + count < decoded.size() && decoded[at + count] != 0)
            ++count;
        const std::size_t offset = at - kParkAnchors[anchor];
        out.insert(out.end(), {static_cast<std::uint8_t>(anchor), static_cast<std::uint8_t>(offset),
                               static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(count)});
        out.insert(out.end(), decoded.begin() + static_cast<std::ptrdiff_t>(at),
                   decoded.begin() + static_cast<std::ptrdiff_t>(at + count));
        at += count;
    }
    return out;
}

} // namespace lmp::fuzz
