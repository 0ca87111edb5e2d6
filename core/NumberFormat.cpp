#include "core/NumberFormat.h"

#include <algorithm>

namespace lmp {

namespace {

// Decimal digits of a non-negative value.
std::string Digits(std::uint64_t value)
{
    std::string text;
    do {
        text.insert(text.begin(), static_cast<char>('0' + value % 10));
        value /= 10;
    } while (value != 0);
    return text;
}

std::uint64_t Magnitude(std::int64_t value) noexcept
{
    return value < 0 ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
}

// Digits of magnitude / 10^drop rounded to a whole number, halves up; a negative drop appends zeros.
std::string RoundedDigits(std::uint64_t magnitude, int drop)
{
    if (drop <= 0)
        return Digits(magnitude) + std::string(static_cast<std::size_t>(-drop), '0');
    if (drop > 19) // 10^drop / 2 exceeds every 64-bit magnitude
        return "0";
    std::uint64_t divisor = 1;
    for (int i = 0; i < drop; ++i)
        divisor *= 10;
    return Digits(magnitude / divisor + (magnitude % divisor >= divisor / 2 ? 1 : 0));
}

std::string ZeroText(int decimals, std::string_view decimalMark)
{
    std::string text = "0";
    if (decimals > 0) {
        text += decimalMark;
        text.append(static_cast<std::size_t>(decimals), '0');
    }
    return text;
}

} // namespace

Decimal DecimalOfSingle(std::int32_t raw, int scale) noexcept
{
    // Every single-precision real converted from a 32-bit integer is itself an integer.
    return {static_cast<std::int64_t>(static_cast<float>(raw)), scale};
}

std::string GroupThousands(std::string_view digits)
{
    std::string result;
    if (!digits.empty() && digits.front() == '-') {
        result += '-';
        digits.remove_prefix(1);
    }
    std::size_t first = digits.size();
    while (first > 3)
        first -= 3;
    result += digits.substr(0, first);
    for (std::size_t i = first; i + 3 <= digits.size(); i += 3) {
        result += ',';
        result += digits.substr(i, 3);
    }
    return result;
}

std::string PlainDecimal(std::int32_t value)
{
    const std::string digits = Digits(Magnitude(value));
    return value < 0 ? "-" + digits : digits;
}

std::string FormatGrouped(std::int32_t value)
{
    return GroupThousands(PlainDecimal(value));
}

std::string FormatMoney(std::int32_t tenths)
{
    // Integer division truncates toward zero, as the amounts are shown.
    return FormatGrouped(tenths / 10);
}

std::uint32_t FeetOfMetres(std::uint16_t metres) noexcept
{
    // metres * 3.28 never lies halfway between two whole feet (its fraction is a multiple of 0.04),
    // so rounding the exact product in integers gives the nearest whole foot.
    return (static_cast<std::uint32_t>(metres) * 328u + 50u) / 100u;
}

std::string FormatFeet(std::uint16_t metres)
{
    return GroupThousands(Digits(FeetOfMetres(metres)));
}

std::string FormatFixed(Decimal value, int precision, int decimals, std::string_view decimalMark)
{
    precision = std::clamp(precision, 1, 30);
    decimals = std::clamp(decimals, 0, 30);
    const bool negative = value.units < 0;
    const std::uint64_t magnitude = Magnitude(value.units);
    const int scale = std::max(value.scale, 0);
    if (magnitude == 0)
        return ZeroText(decimals, decimalMark);

    // Exponent of the leading digit, and the lowest decimal place kept: at most `precision`
    // significant digits and at most `decimals` of them after the point.
    const int leading = static_cast<int>(Digits(magnitude).size()) - 1 - scale;
    const int place = std::max(leading - precision + 1, -decimals);
    std::string rounded = RoundedDigits(magnitude, scale + place); // in units of 10^place
    const int wholeDigits = static_cast<int>(rounded.size()) + place;

    if (wholeDigits > precision) {
        // Whole part too long for fixed form: `precision` significant digits with the decimal mark
        // after the first, then "E", the exponent's sign and its digits, e.g. "1.00000E+6".
        std::string digits = RoundedDigits(magnitude, scale + leading - precision + 1);
        int exponent = leading;
        if (static_cast<int>(digits.size()) > precision) { // rounding carried into a new digit
            digits.pop_back();
            ++exponent;
        }
        std::string text = negative ? "-" : "";
        text += digits.front();
        if (digits.size() > 1) {
            text += decimalMark;
            text += digits.substr(1);
        }
        text += exponent < 0 ? "E-" : "E+";
        text += Digits(static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent));
        return text;
    }
    if (rounded == "0") // a value that rounds to zero has no sign
        return ZeroText(decimals, decimalMark);

    // Here place <= 0: `kept` digits of `rounded` lie after the point.
    const auto kept = static_cast<std::size_t>(-place);
    if (rounded.size() < kept + 1)
        rounded.insert(0, kept + 1 - rounded.size(), '0');
    std::string text = negative ? "-" : "";
    text += rounded.substr(0, rounded.size() - kept);
    if (decimals > 0) {
        text += decimalMark;
        text += rounded.substr(rounded.size() - kept);
        text.append(static_cast<std::size_t>(decimals) - kept, '0');
    }
    return text;
}

} // namespace lmp
