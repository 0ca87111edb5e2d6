#include "core/Park.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

#include "core/NumberFormat.h"
#include "core/Utf8.h"

namespace lmp {

namespace {

constexpr std::size_t kMonthWordOffset = 0;
constexpr std::size_t kDayWordOffset = 2;
constexpr std::size_t kPersonTableOffset = 393236;
constexpr std::size_t kPersonRecordSize = 256;
constexpr std::size_t kPersonRecordCount = 5000;
constexpr std::size_t kPersonStaffOffset = 46;
constexpr std::uint8_t kEmptyPersonSlot = 255;
constexpr std::size_t kCashOffset = 1673268;
constexpr std::size_t kGuestsOffset = 1674396;
constexpr std::size_t kRatingOffset = 1675528;
constexpr std::size_t kGoalTypeOffset = 1676624;
constexpr std::size_t kGoalYearsOffset = 1676625;
constexpr std::size_t kGoalAmountOffset = 1676628;
constexpr std::size_t kGoalCountOffset = 1676632;
constexpr std::size_t kRideTableOffset = 1718432;
constexpr std::size_t kRideRecordSize = 608;
constexpr std::size_t kRideRecordCount = 255;
constexpr std::size_t kRideFlagsOffset = 2;
constexpr std::uint16_t kRideRatedFlag = 0x0002;
constexpr std::size_t kRideExcitementOffset = 240;
constexpr std::size_t kRideIntensityOffset = 242;
constexpr std::size_t kRideNauseaOffset = 244;
constexpr std::size_t kNameOffset = 2065172;
constexpr std::size_t kNameSize = 32;
constexpr std::size_t kSlotOffset = 2065234;
constexpr std::size_t kScrambledBegin = 393240;
constexpr std::uint32_t kScrambleMask = 0x5B5B5B5Bu;

constexpr std::array<std::string_view, 8> kMonthNames = {
    "March", "April", "May", "June", "July", "August", "September", "October",
};

// Rotating right by 8, the low byte right by 3 and the word left by 17 moves every bit outside 8-15
// up by 9, bits 11-15 up by 6 and bits 8-10 up by 14: shifts and masks only, which the compiler
// turns into vector instructions four words at a time (a byte rotation would keep Clang from it).
constexpr std::uint32_t DescrambledWord(std::uint32_t w) noexcept
{
    const std::uint32_t x = w ^ kScrambleMask;
    return std::rotl(x & 0xFFFF00FFu, 9) | ((x << 6) & 0x003E0000u) | ((x << 14) & 0x01C00000u);
}

// Reads decoded bytes whose scrambled region is still scrambled as DescrambleScenario would leave
// them: a byte of a word wholly inside the region is taken from the descrambled word.
class DescramblingReader {
public:
    explicit DescramblingReader(const ByteReader& data) noexcept
        : data_(data), end_(std::min(kParkExtent, data.Size()))
    {
    }

    std::uint8_t U8(std::size_t offset) const noexcept
    {
        if (offset >= kScrambledBegin && end_ >= 4) {
            const std::size_t word = offset - (offset - kScrambledBegin) % 4;
            if (word <= end_ - 4)
                return static_cast<std::uint8_t>(DescrambledWord(data_.U32(word)) >> (8 * (offset - word)));
        }
        return data_.U8(offset);
    }
    std::uint16_t U16(std::size_t offset) const noexcept
    {
        return static_cast<std::uint16_t>(U8(offset) | U8(offset + 1) << 8);
    }
    std::int32_t I32(std::size_t offset) const noexcept
    {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(U16(offset)) |
                                         static_cast<std::uint32_t>(U16(offset + 2)) << 16);
    }

private:
    ByteReader data_;
    std::size_t end_;
};

// Scenario names are 8-bit characters; each byte is its own Latin-1 code point.
template <typename Reader>
std::string Latin1ToUtf8(const Reader& data, std::size_t offset, std::size_t maxSize)
{
    std::string text;
    for (std::size_t i = 0; i < maxSize; ++i) {
        const std::uint8_t c = data.U8(offset + i);
        if (c == 0)
            break;
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

struct RideScan {
    std::int32_t rides = 0;
    std::int32_t stalls = 0;
    std::uint32_t averageExcitement = 0;
    std::uint32_t averageIntensity = 0;
    std::uint32_t averageNausea = 0;
};

template <typename Reader> RideScan ScanRides(const Reader& data)
{
    RideScan scan;
    std::uint32_t rated = 0;
    for (std::size_t i = 0; i < kRideRecordCount; ++i) {
        const std::size_t record = kRideTableOffset + kRideRecordSize * i;
        switch (ClassifyRideType(data.U8(record))) {
        case RideClass::Stall:
            ++scan.stalls;
            continue;
        case RideClass::NotCounted:
            continue;
        case RideClass::Ride:
            break;
        }
        ++scan.rides;
        if ((data.U16(record + kRideFlagsOffset) & kRideRatedFlag) != 0) {
            ++rated;
            scan.averageExcitement += data.U16(record + kRideExcitementOffset);
            scan.averageIntensity += data.U16(record + kRideIntensityOffset);
            scan.averageNausea += data.U16(record + kRideNauseaOffset);
        }
    }
    if (rated > 0) {
        scan.averageExcitement /= rated;
        scan.averageIntensity /= rated;
        scan.averageNausea /= rated;
    }
    return scan;
}

template <typename Reader> std::int32_t CountStaff(const Reader& data)
{
    std::int32_t staff = 0;
    for (std::size_t j = 0; j < kPersonRecordCount; ++j) {
        const std::size_t record = kPersonTableOffset + kPersonRecordSize * j;
        if (data.U8(record) != kEmptyPersonSlot && data.U8(record + kPersonStaffOffset) == 1)
            ++staff;
    }
    return staff;
}

std::string AverageText(std::uint32_t hundredths, std::string_view decimalMark)
{
    return FormatFixed(DecimalOfSingle(static_cast<std::int32_t>(hundredths), 2), 7, 2, decimalMark);
}

} // namespace

RideClass ClassifyRideType(std::uint8_t rideType) noexcept
{
    switch (rideType) {
    case 28:
    case 29:
    case 30:
    case 31:
    case 32:
    case 34:
    case 35:
    case 36:
    case 43:
    case 45:
    case 48:
    case 55:
    case 56:
    case 57:
    case 58:
    case 78:
    case 80:
    case 82:
    case 83:
    case 84:
        return RideClass::Stall;
    case 64:
    case 68:
        return RideClass::NotCounted;
    default:
        return rideType <= 84 ? RideClass::Ride : RideClass::NotCounted;
    }
}

void DescrambleScenario(ByteStream& decoded) noexcept
{
    const std::span<std::uint8_t> bytes = decoded.MutableBytes();
    const std::size_t end = std::min(kParkExtent, bytes.size());
    if (end < kScrambledBegin + 4)
        return;
    const std::size_t words = (end - kScrambledBegin) / 4;
    std::uint8_t* const region = bytes.data() + kScrambledBegin;
    std::size_t w = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; w + 4 <= words; w += 4) {
            std::uint32_t block[4];
            std::memcpy(block, region + 4 * w, sizeof block);
            for (std::uint32_t& word : block)
                word = DescrambledWord(word);
            std::memcpy(region + 4 * w, block, sizeof block);
        }
    }
    for (; w < words; ++w) {
        std::uint8_t* const p = region + 4 * w;
        const std::uint32_t word =
            DescrambledWord(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                            static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

std::string_view MonthName(unsigned monthIndex) noexcept
{
    return monthIndex < kMonthNames.size() ? kMonthNames[monthIndex] : std::string_view();
}

namespace {

template <typename Reader> ParkSummary Summarize(const Reader& data, bool scenario)
{
    const std::uint16_t monthWord = data.U16(kMonthWordOffset);
    const std::uint16_t dayWord = data.U16(kDayWordOffset);
    const RideScan rides = ScanRides(data);
    return {.scenario = scenario,
            .name = Latin1ToUtf8(data, kNameOffset, kNameSize),
            .slot = data.U16(kSlotOffset),
            .goalType = data.U8(kGoalTypeOffset),
            .goalYears = data.U8(kGoalYearsOffset),
            .goalAmount = data.I32(kGoalAmountOffset),
            .goalCount = data.U16(kGoalCountOffset),
            .monthIndex = monthWord & 0x7u,
            .day = (dayWord >> 11u) + 1u,
            .year = (monthWord >> 3u) + 1u,
            .rating = data.U16(kRatingOffset),
            .cash = data.I32(kCashOffset),
            .rides = rides.rides,
            .stalls = rides.stalls,
            .averageExcitement = rides.averageExcitement,
            .averageIntensity = rides.averageIntensity,
            .averageNausea = rides.averageNausea,
            .guests = data.U16(kGuestsOffset),
            .staff = CountStaff(data)};
}

} // namespace

ParkSummary SummarizePark(const ByteStream& decoded, bool scenario, Scrambling scrambling)
{
    if (scrambling == Scrambling::Scrambled)
        return Summarize(DescramblingReader(decoded.Reader()), scenario);
    return Summarize(decoded.Reader(), scenario);
}

std::string GoalText(const ParkSummary& summary, std::string_view decimalMark)
{
    const std::int32_t amount = summary.goalAmount;
    const std::uint16_t count = summary.goalCount;
    switch (summary.goalType) {
    case 1:
        return FormatGrouped(count) + " guests by end of year " + PlainDecimal(summary.goalYears);
    case 2:
        return "park value of at least $" + FormatMoney(amount);
    case 3:
        return "to have fun!";
    case 4:
        return "competition";
    case 5:
        return "10 coasters with excitement at least 6.00";
    case 6:
        return FormatGrouped(count) + " guests without falling below 700 rating";
    case 7:
        return "monthly ride income of at least $" + FormatMoney(amount);
    case 8:
        return "ten coasters with excitement 7.0 and length > " + FormatFeet(count) + " ft, (" +
               FormatGrouped(count) + " meters)";
    case 9:
        return "complete five coasters with excitement at least " +
               FormatFixed(DecimalOfSingle(amount, 2), 6, 2, decimalMark);
    default:
        return "???";
    }
}

void FormatParkSummary(const ParkSummary& summary, std::string_view decimalMark, Lines& lines)
{
    std::string name = "  Scenario: " + SafeText(summary.name);
    if (summary.scenario)
        name += "  ; slot #" + PlainDecimal(summary.slot);
    lines.push_back(std::move(name));
    if (summary.scenario)
        lines.push_back("      Goal: " + GoalText(summary, decimalMark));

    lines.push_back("      Date: " + std::string(MonthName(summary.monthIndex)) + " " +
                    PlainDecimal(static_cast<std::int32_t>(summary.day)) + ", year " +
                    PlainDecimal(static_cast<std::int32_t>(summary.year)));
    lines.push_back("    Rating: " + PlainDecimal(summary.rating));
    lines.push_back("      Cash: $" + FormatMoney(summary.cash));
    lines.push_back("    #Rides: " + PlainDecimal(summary.rides) +
                    ",  #Stalls: " + PlainDecimal(summary.stalls));
    lines.push_back("Avg Excite: " + AverageText(summary.averageExcitement, decimalMark));
    lines.push_back("Avg Intens: " + AverageText(summary.averageIntensity, decimalMark));
    lines.push_back("Avg Nausea: " + AverageText(summary.averageNausea, decimalMark));
    lines.push_back("   #Guests: " + FormatGrouped(summary.guests) +
                    " ,  #Staff: " + PlainDecimal(summary.staff));
}

ParkSummary DescribeParkFile(const ByteStream& decoded, bool scenario, std::string_view decimalMark,
                             Lines& lines, Scrambling scrambling)
{
    ParkSummary summary = SummarizePark(decoded, scenario, scrambling);
    FormatParkSummary(summary, decimalMark, lines);
    return summary;
}

} // namespace lmp
