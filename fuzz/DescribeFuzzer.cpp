// Feeds arbitrary bytes to the describer as one game file type (LMP_FUZZ_TYPE) and checks what must
// hold for any file: a known edition code, bounded decoding, and the same result however the bytes
// arrive in pieces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/Describe.h"
#include "core/RunLength.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr lmp::FileType type = lmp::FileType::LMP_FUZZ_TYPE;
    const std::span<const std::uint8_t> bytes(data, size);
    const std::size_t headLimit = lmp::HeadLimitFor(type);

    const lmp::PackedFile whole = lmp::ScanPackedBytes(bytes, headLimit);
    lmp::PackedFileScanner pieces(headLimit);
    for (std::size_t offset = 0, step = 1; offset < size; offset += step, step = step % 7 + 1)
        pieces.Feed(bytes.subspan(offset, std::min(step, size - offset)));
    const lmp::PackedFile split = std::move(pieces).Finish();
    Require(split.size == whole.size && split.storedChecksum == whole.storedChecksum &&
            split.computedChecksum == whole.computedChecksum && split.head.Size() == whole.head.Size());
    Require(whole.head.Size() <= headLimit);

    lmp::DescribeOptions all;
    const lmp::Description described = lmp::DescribePackedFile("fuzz", type, whole, all);
    Require(described.edition >= lmp::kNoEdition && described.edition <= 2);
    Require(described.lines.size() <= 14);

    lmp::DescribeOptions one;
    one.acceptFirstExpansion = false;
    one.acceptSecondExpansion = false;
    Require(lmp::DescribePackedFile("fuzz", type, whole, one).edition == described.edition);

    lmp::ByteStream decoded;
    lmp::DecodeRunLength(whole.head, decoded, whole.BodyEnd(), 4096);
    Require(decoded.Size() <= 4096);
    return 0;
}
