#include "testkit/Baseline.h"

#include <bit>
#include <fstream>
#include <vector>

#include "core/Checksum.h"
#include "core/Park.h"
#include "core/TrackDesign.h"
#include "testkit/GameLayout.h"

namespace lmp::testkit {

namespace {

std::string Utf8Text(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::uint32_t BaselineChecksum(const ByteStream& file)
{
    std::uint32_t c = 0;
    for (std::size_t i = 0; i + 4 < file.Size(); ++i) {
        c = (c & 0xFFFFFF00u) | ((c + file.U8(i)) & 0xFFu);
        c = std::rotl(c, 3);
    }
    return c;
}

ByteStream BaselineDecode(const ByteStream& file)
{
    ByteStream decoded;
    const std::size_t size = file.Size();
    const std::size_t bodyEnd = size >= 4 ? size - 4 : 0;
    std::size_t pos = 0;
    while (pos < bodyEnd) {
        const auto n = static_cast<std::int8_t>(file.U8(pos++));
        if (n >= 0) {
            for (int k = 0; k <= n && pos < size; ++k) {
                const std::uint8_t b = file.U8(pos++);
                decoded.Append(std::span<const std::uint8_t>(&b, 1));
            }
        } else {
            if (pos >= size)
                break;
            const std::uint8_t b = file.U8(pos++);
            for (int k = 0; k < 1 - n; ++k)
                decoded.Append(std::span<const std::uint8_t>(&b, 1));
        }
    }
    return decoded;
}

void BaselineDescramble(ByteStream& decoded)
{
    for (std::size_t p = layout::kScrambledBegin; p < layout::kParkSize; p += 4) {
        if (!decoded.Reader().Fits(p, 4))
            break;
        std::uint32_t w = decoded.U32(p) ^ layout::kScrambleMask;
        w = std::rotr(w, 8);
        const std::uint32_t low = w & 0xFFu;
        w = (w & 0xFFFFFF00u) | (((low >> 3) | (low << 5)) & 0xFFu);
        w = std::rotl(w, 17);
        decoded.WriteU32(p, w);
    }
}

Description BaselineDescribe(std::string_view fileName, const ByteStream& file,
                             const DescribeOptions& options)
{
    Description result;
    const FileType type = FileTypeOfName(fileName);
    if (type == FileType::None)
        return result;

    std::int32_t edition = kNoEdition;
    if (file.Size() >= 4)
        edition =
            MatchEditionRule(type, ChecksumDifference(file.U32(file.Size() - 4), BaselineChecksum(file)));
    ByteStream decoded;
    if (type == FileType::TrackDesign && edition != kNoEdition) {
        decoded = BaselineDecode(file);
        edition = TrackDesignEdition(edition, decoded.U8(layout::kTrackFlags));
    }
    result.edition = edition;

    if (edition == kNoEdition) {
        if (type == FileType::SavedGame || options.AllAccepted())
            result.lines.emplace_back(kVersionFailureLine);
        return result;
    }
    if (!options.Accepts(edition))
        return result;

    if (options.withSeparator)
        result.lines.emplace_back(kSeparatorLine);
    result.lines.push_back("File Name : " + std::string(fileName));
    result.lines.push_back("   Version: " + std::string(EditionLabel(type, edition)));
    if (type == FileType::TrackDesign) {
        DescribeTrackDesign(decoded, options.decimalMark, result.lines);
        return result;
    }
    decoded = BaselineDecode(file);
    if (type == FileType::Scenario && (edition == 1 || edition == 2))
        BaselineDescramble(decoded);
    DescribeParkFile(decoded, type == FileType::Scenario, options.decimalMark, result.lines);
    return result;
}

Description BaselineDescribeFile(const std::filesystem::path& path, const DescribeOptions& options)
{
    const std::string name = Utf8Text(path.filename());
    if (FileTypeOfName(name) == FileType::None)
        return {};
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw FileError(Utf8Text(path));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        throw FileError(Utf8Text(path));
    return BaselineDescribe(name, ByteStream(std::move(bytes)), options);
}

} // namespace lmp::testkit
