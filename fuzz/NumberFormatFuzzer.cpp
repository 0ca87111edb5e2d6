// The number renderings over any input: integers against the standard library's decimal text,
// feet against an extended-precision product, and FormatFixed with any precision, decimal count and
// decimal mark against its rounding contract, checked exactly in 128-bit integers.
#include <algorithm>
#include <cmath>
#include <string>

#include "core/NumberFormat.h"
#include "fuzz/FuzzSupport.h"

namespace {

using lmp::fuzz::GroupedFromTheRight;
using lmp::fuzz::Require;

__extension__ typedef __int128 Wide;

Wide PowerOfTen(int exponent)
{
    Wide value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

int DigitCount(std::uint64_t value)
{
    int count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

void CheckGrouping(std::string_view raw)
{
    const std::string grouped = lmp::GroupThousands(raw);
    const std::size_t digits = raw.size() - (!raw.empty() && raw.front() == '-' ? 1 : 0);
    Require(grouped.size() == raw.size() + (digits == 0 ? 0 : (digits - 1) / 3), "one comma per full group");
    // Any text of digits, signed or not, groups as counted from the right.
    std::string number;
    for (const char c : raw)
        number += static_cast<char>('0' + static_cast<unsigned char>(c) % 10);
    if (!raw.empty() && raw.front() == '-')
        number.front() = '-';
    Require(lmp::GroupThousands(number) == GroupedFromTheRight(number), "digits group from the right");
}

void CheckIntegers(std::int32_t value, std::uint16_t metres)
{
    Require(lmp::PlainDecimal(value) == std::to_string(value), "plain decimal");
    Require(lmp::FormatGrouped(value) == GroupedFromTheRight(std::to_string(value)), "grouped");
    Require(lmp::FormatMoney(value) == GroupedFromTheRight(std::to_string(value / 10)),
            "money in whole units");
    const long double product = static_cast<long double>(metres) * 3.28L;
    Require(lmp::FormatFeet(metres) == GroupedFromTheRight(std::to_string(std::llround(product))), "feet");
}

// The text must be the value rounded at the place that keeps at most precision significant digits
// and at most decimals decimals, halves away from zero, written with exactly decimals decimals.
void CheckFixed(lmp::Decimal value, int precision, int decimals, std::string_view mark)
{
    const std::string text = lmp::FormatFixed(value, precision, decimals, mark);
    const int p = std::clamp(precision, 1, 30);
    const int d = std::clamp(decimals, 0, 30);
    Require(text.size() <= 72 + mark.size(), "fixed text stays short");
    if (mark.empty() || mark.find_first_of("0123456789+-E") != std::string_view::npos)
        return; // a mark that could be read as part of a number leaves the text ambiguous

    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view body = std::string_view(text).substr(negative ? 1 : 0);
    const std::uint64_t magnitude = value.units < 0 ? static_cast<std::uint64_t>(-(value.units + 1)) + 1
                                                    : static_cast<std::uint64_t>(value.units);
    const int leading = DigitCount(magnitude) - 1 - value.scale;
    if (const std::size_t e = body.find('E'); e != std::string_view::npos) {
        const std::string_view exponent = body.substr(e + 1);
        Require(exponent.size() >= 2 && (exponent[0] == '+' || exponent[0] == '-') &&
                    AllDigits(exponent.substr(1)),
                "a scientific exponent");
        Require(exponent[0] == '+' && std::stoi(std::string(exponent.substr(1))) >= p,
                "scientific only for whole parts longer than the precision");
        return;
    }
    const std::string_view whole = body.substr(0, d > 0 ? body.find(mark) : body.size());
    Require(AllDigits(whole) && (whole.size() == 1 || whole.front() != '0'),
            "a whole part without leading zeros");
    Require(static_cast<int>(whole.size()) <= p || (whole == "0"), "a whole part within the precision");
    std::string digits(whole);
    if (d > 0) {
        const std::string_view fraction = body.substr(whole.size() + mark.size());
        Require(static_cast<int>(fraction.size()) == d && AllDigits(fraction),
                "exactly the decimals asked for");
        digits += fraction;
    }
    if (value.units == 0 || magnitude >= 1'000'000'000'000'000u || value.scale > 10 || d > 10)
        return; // beyond what 128 bits hold exactly below

    // shown = digits / 10^d and value = units / 10^scale, compared at the common scale 10^(d + scale).
    Wide shownDigits = 0;
    for (const char c : digits)
        shownDigits = shownDigits * 10 + (c - '0');
    const Wide shown = shownDigits * PowerOfTen(value.scale);
    const Wide exact = static_cast<Wide>(magnitude) * PowerOfTen(d);
    const int place = std::max(leading - p + 1, -d);
    const Wide unit = PowerOfTen(place + d + value.scale); // one unit of the rounding place
    const Wide error = shown > exact ? shown - exact : exact - shown;
    Require(2 * error < unit || (2 * error == unit && shown > exact),
            "rounded to nearest, halves away from zero");
    Require(shownDigits % PowerOfTen(place + d) == 0, "nothing kept below the rounding place");
    Require(negative == (value.units < 0 && shown != 0), "a sign only on a negative value that is not zero");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lmp::fuzz::FuzzInput input({data, size});
    const auto value = static_cast<std::int32_t>(input.U32());
    const std::uint16_t metres = input.U16();
    const auto units = static_cast<std::int64_t>(input.U64());
    const int scale = input.U8() % 24;
    const auto precision = static_cast<std::int32_t>(input.U32());
    const auto decimals = static_cast<std::int8_t>(input.U8());
    const std::uint8_t markChoice = input.U8();
    const std::span<const std::uint8_t> rest = input.Rest();
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());

    CheckIntegers(value, metres);
    CheckGrouping(text);
    const std::string_view marks[] = {".", ",", "", "\xC2\xB7"};
    const std::string_view mark =
        (markChoice & 0x80) == 0 ? marks[markChoice % 4] : text.substr(0, markChoice % 5);
    CheckFixed({units, scale}, precision, decimals, mark);
    CheckFixed(lmp::DecimalOfSingle(value, scale % 3), precision % 32, decimals % 8, mark);
    return 0;
}
