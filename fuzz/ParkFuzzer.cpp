// The park summary for saved games and scenarios, and the descrambling, over decoded contents of any
// length (built by ExpandParkImage). Checks the shape of every line, the bounds of the counts, how the
// two kinds of summary relate, and that descrambling changes only whole words of the scrambled region
// and is undone by scrambling.
#include <algorithm>
#include <string>

#include "core/Park.h"
#include "fuzz/DescribeSupport.h"
#include "fuzz/ParkImage.h"
#include "testkit/GameFiles.h"
#include "testkit/GameLayout.h"

namespace {

using lmp::fuzz::Require;
using Bytes = std::vector<std::uint8_t>;

using lmp::testkit::layout::kParkSize;
using lmp::testkit::layout::kScrambledBegin;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Two counts after the label, split by middle: the first may be grouped with commas.
bool CountsWithin(std::string_view line, std::string_view label, std::string_view middle, unsigned first,
                  unsigned second)
{
    if (!StartsWith(line, label))
        return false;
    line.remove_prefix(label.size());
    const std::size_t split = line.find(middle);
    if (split == std::string_view::npos)
        return false;
    std::string a(line.substr(0, split));
    const std::string b(line.substr(split + middle.size()));
    a.erase(std::remove(a.begin(), a.end(), ','), a.end());
    if (a.empty() || b.empty() || a.find_first_not_of("0123456789") != std::string::npos ||
        b.find_first_not_of("0123456789") != std::string::npos || a.size() > 6 || b.size() > 6)
        return false;
    return std::stoul(a) <= first && std::stoul(b) <= second;
}

void CheckSummaries(const Bytes& decoded, std::string_view mark)
{
    const lmp::ByteStream stream(decoded);
    lmp::Lines saved, scenario;
    lmp::DescribeParkFile(stream, false, mark, saved);
    lmp::DescribeParkFile(stream, true, mark, scenario);
    Require(saved.size() == 9 && scenario.size() == 10, "nine lines for a saved game, ten for a scenario");
    Require(lmp::fuzz::ColonsAligned(saved, 0) && lmp::fuzz::ColonsAligned(scenario, 0), "aligned labels");
    // A name of 32 characters that all became U+FFFD takes 96 bytes.
    Require(lmp::fuzz::LongestLine(scenario, 0) <= 128 && lmp::fuzz::LongestLine(saved, 0) <= 128,
            "short lines");
    for (const std::string& line : scenario)
        Require(lmp::fuzz::ShowsAsItIs(line), "no line holds a control character or a line break");

    const auto at = [&](std::size_t offset) -> unsigned {
        return offset < decoded.size() ? decoded[offset] : 0u;
    };
    const unsigned slot = at(lmp::testkit::layout::kSlot) | at(lmp::testkit::layout::kSlot + 1) << 8;
    Require(scenario[0] == saved[0] + "  ; slot #" + std::to_string(slot), "a scenario adds its slot");
    Require(StartsWith(scenario[1], "      Goal: "), "the goal line");
    Require(std::equal(saved.begin() + 1, saved.end(), scenario.begin() + 2), "the rest is shared");
    Require(StartsWith(saved[1], "      Date: "), "the date line");
    Require(CountsWithin(saved[4], "    #Rides: ", ",  #Stalls: ", 255, 255), "at most 255 rides and stalls");
    Require(CountsWithin(saved[8], "   #Guests: ", " ,  #Staff: ", 65535, 5000),
            "the guests and at most 5000 staff");
}

void CheckDescrambling(const Bytes& decoded)
{
    lmp::ByteStream stream(decoded);
    lmp::DescrambleScenario(stream);
    const std::span<const std::uint8_t> out = stream.Bytes();
    Require(out.size() == decoded.size(), "descrambling keeps the size");

    const std::size_t end = std::min(decoded.size(), kParkSize);
    const std::size_t wordsEnd =
        end < kScrambledBegin ? 0 : kScrambledBegin + (end - kScrambledBegin) / 4 * 4;
    const std::size_t changedFrom = std::min(kScrambledBegin, decoded.size());
    Require(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(changedFrom), decoded.begin()),
            "nothing before the scrambled region changes");
    if (wordsEnd < decoded.size())
        Require(std::equal(out.begin() + static_cast<std::ptrdiff_t>(wordsEnd), out.end(),
                           decoded.begin() + static_cast<std::ptrdiff_t>(wordsEnd)),
                "nothing after the region's last whole word changes");

    Bytes again(out.begin(), out.end());
    lmp::testkit::ScrambleScenario(again);
    Require(again == decoded, "scrambling undoes descrambling");

    lmp::Lines whole, lazy;
    lmp::DescribeParkFile(stream, true, ".", whole);
    lmp::DescribeParkFile(lmp::ByteStream(decoded), true, ".", lazy, lmp::Scrambling::Scrambled);
    Require(lazy == whole, "descrambling the words read gives the summary of the descrambled bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Bit 0 of the first byte picks the decimal mark, bit 1 the check: walking two megabytes under the
    // sanitizers is slow, so each input does one of the two.
    lmp::fuzz::FuzzInput input({data, size});
    const std::uint8_t choice = input.U8();
    const Bytes decoded = lmp::fuzz::ExpandParkImage(input);
    if ((choice & 2) != 0)
        CheckDescrambling(decoded);
    else
        CheckSummaries(decoded, (choice & 1) != 0 ? "," : ".");
    return 0;
}
