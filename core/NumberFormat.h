#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lmp {

// An exact decimal value: units / 10^scale.
struct Decimal {
    std::int64_t units = 0;
    int scale = 0;
};

// The value a raw integer stands for once converted to a single-precision real, as the game's
// ratings are, divided by 10^scale.
Decimal DecimalOfSingle(std::int32_t raw, int scale) noexcept;

// Puts "," between groups of three digits counted from the right. A leading "-" is kept in front
// and not counted as a digit; a text of three digits or fewer comes back unchanged.
std::string GroupThousands(std::string_view digits);

// Decimal digits with "-" in front when negative; no separators, no leading zeros.
std::string PlainDecimal(std::int32_t value);

std::string FormatGrouped(std::int32_t value);

// An amount in tenths, truncated toward zero to whole units, grouped.
std::string FormatMoney(std::int32_t tenths);

// Metres times 3.28, rounded to the nearest whole foot.
std::uint32_t FeetOfMetres(std::uint16_t metres) noexcept;

// FeetOfMetres, grouped.
std::string FormatFeet(std::uint16_t metres);

// Rounds to at most precision significant digits and at most decimals decimals, halves away from
// zero, and writes the whole part, then decimalMark and exactly decimals digits. A value whose
// rounded whole part has more than precision digits is written in scientific notation instead.
std::string FormatFixed(Decimal value, int precision, int decimals, std::string_view decimalMark);

} // namespace lmp
