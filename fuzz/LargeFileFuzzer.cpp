// Game files of up to several megabytes built from a compact description, so that fuzzing reaches what
// small inputs never do: the read loop's 1 MiB chunks, the end of the bytes a park's decoding can use
// (about 4 MB of body) with more of the file behind it, and names of any bytes. The description:
//   byte 0   bits 0-1 the type (.TD4, .SV4, .SC4, .SV4), bits 2-3 the trailer: the checksum of edition 0,
//            1 or 2, or 3 none (the last four bytes built are the trailer); bit 4 the separator, bits 5-6
//            the one edition accepted, bit 7 the decimal mark ",".
//   byte 1   the length of the name before the extension (at most 64), then the name's bytes ("/" and
//            NUL stand for 0xAF and 0x80).
//   then pieces of the body, each a control byte c and its bytes, up to kMaxBody:
//            c < 0x80: a literal of c + 1 bytes;
//            c >= 0x80: a pattern of (c & 0x0F) + 1 bytes, then a 16-bit count n: the pattern
//            (n + 1) << ((c >> 4) & 7) times.
// Checks what holds for every file (CheckLines) and that the file read from disk in chunks describes as
// a plain pass over the whole buffer (checksum, then decoding up to the extent) does.
#include <algorithm>
#include <string>

#include "core/Checksum.h"
#include "core/Describe.h"
#include "fuzz/DescribeSupport.h"
#include "scan/DescribeFile.h"
#include "testkit/GameFiles.h"

namespace {

using lmp::fuzz::Require;
using Bytes = std::vector<std::uint8_t>;

// Past a park's decoding input bound (4.13 MB) by more than a chunk; a full-size input takes about a
// second under the sanitizers.
constexpr std::size_t kMaxBody = 6 << 20;
constexpr std::size_t kMaxStem = 64;

constexpr lmp::FileType kTypes[] = {lmp::FileType::TrackDesign, lmp::FileType::SavedGame,
                                    lmp::FileType::Scenario, lmp::FileType::SavedGame};
constexpr const char* kExtensions[] = {".TD4", ".SV4", ".SC4", ".sv4"};

std::string Name(lmp::fuzz::FuzzInput& input, const char* extension)
{
    const std::size_t length = std::min<std::size_t>(input.U8(), kMaxStem);
    std::string name;
    for (const std::uint8_t b : input.Take(length))
        name += static_cast<char>(b == '/' || b == 0 ? b ^ 0x80 : b);
    return name + extension;
}

Bytes Body(lmp::fuzz::FuzzInput& input)
{
    Bytes body;
    while (!input.Empty() && body.size() < kMaxBody) {
        const std::uint8_t control = input.U8();
        if (control < 0x80) {
            const auto literal = input.Take(std::min<std::size_t>(control + 1u, kMaxBody - body.size()));
            body.insert(body.end(), literal.begin(), literal.end());
            continue;
        }
        const auto pattern = input.Take((control & 0x0Fu) + 1);
        const std::size_t times = (std::size_t{input.U16()} + 1) << ((control >> 4) & 7);
        if (pattern.empty() || body.size() + pattern.size() > kMaxBody)
            break;
        // Whole copies of the pattern up to the limit, doubling what is there already.
        const std::size_t start = body.size();
        const std::size_t length = std::min(times, (kMaxBody - start) / pattern.size()) * pattern.size();
        body.resize(start + length);
        std::copy(pattern.begin(), pattern.end(), body.begin() + static_cast<std::ptrdiff_t>(start));
        for (std::size_t done = std::min(length, pattern.size()); done < length; done *= 2)
            std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(start), std::min(done, length - done),
                        body.begin() + static_cast<std::ptrdiff_t>(start + done));
    }
    return body;
}

// The file's PackedFile the plain way: the whole buffer's checksum, then its body decoded up to the
// extent in one call.
lmp::PackedFile WholeBufferReading(const Bytes& file, std::size_t extent)
{
    const lmp::ByteStream buffer(file);
    lmp::PackedFile packed;
    packed.size = file.size();
    packed.computedChecksum = lmp::ComputeFileChecksum(buffer, true);
    if (file.size() >= 4)
        packed.storedChecksum = static_cast<std::uint32_t>(buffer.U32(file.size() - 4));
    lmp::DecodeRunLength(buffer, packed.decoded, packed.BodyEnd(), extent);
    return packed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lmp::fuzz::FuzzInput input({data, size});
    const std::uint8_t choice = input.U8();
    const lmp::FileType type = kTypes[choice & 3];
    const std::string name = Name(input, kExtensions[choice & 3]);
    const Bytes body = Body(input);
    const int trailer = (choice >> 2) & 3;
    const Bytes file =
        trailer == 3 ? body
                     : lmp::testkit::PackWithDifference(body, lmp::testkit::RuleDifference(type, trailer));

    lmp::DescribeOptions all;
    all.withSeparator = (choice & 0x10) != 0;
    all.decimalMark = (choice & 0x80) != 0 ? "," : ".";
    lmp::DescribeOptions one = all;
    const int only = ((choice >> 5) & 3) % 3;
    one.acceptOriginal = only == 0;
    one.acceptFirstExpansion = only == 1;
    one.acceptSecondExpansion = only == 2;

    const std::filesystem::path path = lmp::fuzz::Folder() / name;
    lmp::fuzz::Write(path, file);
    const lmp::Description fromDisk = lmp::DescribeFile(path, all);
    std::filesystem::remove(path);
    lmp::fuzz::CheckLines(fromDisk, type, name, all);

    const lmp::PackedFile whole = WholeBufferReading(file, lmp::DecodedExtentFor(type));
    const lmp::Description plain = lmp::DescribePackedFile(name, type, whole, all);
    Require(plain.edition == fromDisk.edition && plain.lines == fromDisk.lines,
            "reading in chunks describes as a plain pass over the whole buffer does");
    const lmp::Description chosen = lmp::DescribePackedFile(name, type, whole, one);
    lmp::fuzz::CheckLines(chosen, type, name, one);
    Require(chosen.edition == fromDisk.edition, "the edition does not depend on the flags");
    return 0;
}
