// The track design summary and edition flag over decoded contents of any length, each line compared
// with a reading of the fields written here (absent bytes read as zero).
#include <cmath>
#include <string>

#include "core/Edition.h"
#include "core/TrackDesign.h"
#include "fuzz/FuzzSupport.h"
#include "testkit/GameLayout.h"

namespace {

using lmp::fuzz::GroupedFromTheRight;
using lmp::fuzz::Require;
namespace layout = lmp::testkit::layout;

std::uint8_t At(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return offset < bytes.size() ? bytes[offset] : 0;
}

std::string Rating(std::uint8_t tenths, std::string_view mark)
{
    return std::to_string(tenths / 10) + std::string(mark) + std::to_string(tenths % 10) + "0";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lmp::fuzz::FuzzInput input({data, size});
    const std::string_view marks[] = {".", ",", "\xC2\xB7", ""};
    const std::string_view mark = marks[input.U8() % 4];
    const std::span<const std::uint8_t> decoded = input.Rest();

    lmp::Lines lines = {"kept"};
    lmp::DescribeTrackDesign(lmp::ByteStream({decoded.begin(), decoded.end()}), mark, lines);
    Require(lines.size() == 6 && lines[0] == "kept", "five lines appended, nothing else touched");

    const std::uint8_t type = At(decoded, layout::kTrackRideType);
    const std::string_view name = lmp::RideTypeName(type);
    Require((type > 84) == (name == "ERROR!") && !name.empty(), "a name for 0 to 84, ERROR! above");
    Require(lines[1] == "      Type: " + std::string(name), "type line");
    Require(lines[2] == "Excitement: " + Rating(At(decoded, layout::kTrackExcitement), mark),
            "excitement line");
    Require(lines[3] == " Intensity: " + Rating(At(decoded, layout::kTrackIntensity), mark),
            "intensity line");
    Require(lines[4] == "    Nausea: " + Rating(At(decoded, layout::kTrackNausea), mark), "nausea line");
    const unsigned metres =
        At(decoded, layout::kTrackLength) | static_cast<unsigned>(At(decoded, layout::kTrackLength + 1)) << 8;
    const long long feet = std::llround(static_cast<long double>(metres) * 3.28L);
    Require(lines[5] == "    Length: " + GroupedFromTheRight(std::to_string(feet)) + " ft, (" +
                            GroupedFromTheRight(std::to_string(metres)) + " meters)",
            "length line");

    const std::uint8_t flags = At(decoded, layout::kTrackFlags);
    Require(lmp::TrackDesignEdition(0, flags) == ((flags & layout::kTrackExpansionFlag) != 0 ? 1 : 0),
            "the flag bit picks edition 1");
    Require(lmp::TrackDesignEdition(2, flags) == 2, "edition 2 ignores the flag");
    return 0;
}
