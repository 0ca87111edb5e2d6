// DecodeRunLength with any body end and any output limit. Compares it with a plain decoder of the
// record format written here, and checks the limit and that decoding only the head that
// RunLengthInputBound names gives the same bytes, which is what lets the describer keep only a file's
// head.
#include <algorithm>
#include <limits>
#include <vector>

#include "core/RunLength.h"
#include "fuzz/FuzzSupport.h"

namespace {

using lmp::fuzz::Require;
using Bytes = std::vector<std::uint8_t>;

// Record by record, stopping once limit bytes are out; a record cut by the source end gives what exists.
Bytes Reference(std::span<const std::uint8_t> source, std::uint64_t bodyEnd, std::size_t limit)
{
    Bytes out;
    std::size_t pos = 0;
    while (pos < source.size() && pos < bodyEnd && out.size() < limit) {
        const std::uint8_t control = source[pos++];
        if (control < 0x80) {
            for (std::size_t i = 0; i <= control && pos < source.size() && out.size() < limit; ++i)
                out.push_back(source[pos++]);
        } else {
            if (pos >= source.size())
                break;
            const std::uint8_t value = source[pos++];
            for (std::size_t i = 0; i < 257u - control && out.size() < limit; ++i)
                out.push_back(value);
        }
    }
    return out;
}

Bytes Decode(std::span<const std::uint8_t> source, std::uint64_t bodyEnd, std::size_t limit)
{
    lmp::ByteStream destination(Bytes{0xDE, 0xAD, 0xBE, 0xEF}); // decoding empties it first
    lmp::DecodeRunLength(lmp::ByteStream(Bytes(source.begin(), source.end())), destination, bodyEnd, limit);
    return Bytes(destination.Bytes().begin(), destination.Bytes().end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lmp::fuzz::FuzzInput input({data, size});
    const std::uint16_t rawLimit = input.U16();
    const std::uint16_t rawEnd = input.U16();
    const std::span<const std::uint8_t> source = input.Rest();
    const std::size_t limit = rawLimit == 0xFFFF ? lmp::kUnlimited : rawLimit;
    const std::uint64_t bodyEnd = rawEnd == 0xFFFF ? std::numeric_limits<std::uint64_t>::max() : rawEnd;

    const Bytes decoded = Decode(source, bodyEnd, limit);
    Require(decoded.size() <= limit, "no more decoded bytes than the limit");
    Require(decoded == Reference(source, bodyEnd, limit), "decodes as the record format says");

    const Bytes unlimited = Decode(source, bodyEnd, lmp::kUnlimited);
    Require(decoded.size() == std::min(limit, unlimited.size()) &&
                std::equal(decoded.begin(), decoded.end(), unlimited.begin()),
            "a limit cuts the whole output short and changes nothing else");

    const std::size_t bound = lmp::RunLengthInputBound(limit);
    if (bound < source.size())
        Require(Decode(source.first(bound), bodyEnd, limit) == decoded, "the head decodes like the whole");

    lmp::ByteStream whole;
    lmp::DecodeRunLength(lmp::ByteStream(Bytes(source.begin(), source.end())), whole);
    Require(Bytes(whole.Bytes().begin(), whole.Bytes().end()) ==
                Decode(source, source.size() >= 4 ? source.size() - 4 : 0, lmp::kUnlimited),
            "a packed file's body ends where its trailer begins");
    return 0;
}
