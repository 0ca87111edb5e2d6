#include "core/RunLength.h"

#include <algorithm>

namespace lmp {

void DecodeRunLength(const ByteStream& source, ByteStream& destination, std::uint64_t bodyEnd,
                     std::size_t limit)
{
    destination.Clear();
    const std::span<const std::uint8_t> src = source.Bytes();
    const std::size_t end = src.size();
    std::size_t pos = 0;
    while (pos < bodyEnd && pos < end && destination.Size() < limit) {
        const auto n = static_cast<std::int8_t>(src[pos++]);
        const std::size_t room = limit - destination.Size();
        if (n >= 0) {
            const std::size_t wanted = static_cast<std::size_t>(n) + 1;
            const std::size_t present = std::min(wanted, end - pos);
            destination.Append(src.subspan(pos, std::min(present, room)));
            pos += present;
        } else {
            if (pos >= end)
                break;
            const std::size_t count = static_cast<std::size_t>(1 - n);
            destination.AppendRepeated(src[pos++], std::min(count, room));
        }
    }
}

void DecodeRunLength(const ByteStream& source, ByteStream& destination)
{
    const std::uint64_t size = source.Size();
    DecodeRunLength(source, destination, size >= 4 ? size - 4 : 0);
}

} // namespace lmp
