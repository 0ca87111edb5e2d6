#include "cli/Lmpinfo.h"

#include <clocale>
#include <string>
#include <string_view>

#include "core/Utf8.h"

namespace lmp::cli {

bool IsSingleCharacter(std::string_view text) noexcept
{
    return !text.empty() && WellFormedLength(text, 0) == text.size();
}

namespace {

bool IsBlank(char32_t c) noexcept
{
    return c == 0x20 || c == 0xA0 || c == 0x1680 || c == 0x180E || (c >= 0x2000 && c <= 0x200B) ||
           c == 0x202F || c == 0x205F || c == 0x2060 || c == 0x3000 || c == 0xFEFF;
}

std::string CodeText(char32_t c)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "U+";
    for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
        text += kHex[(c >> shift) & 0xF];
    }
    return text;
}

} // namespace

std::string DecimalMarkProblem(std::string_view text)
{
    if (!IsSingleCharacter(text)) {
        return "the decimal mark is one character, not '" + std::string(text) + "'";
    }
    const char32_t c = CodePointAt(text, 0, text.size());
    if (c >= '0' && c <= '9') {
        return "the decimal mark cannot be a digit, not '" + std::string(text) + "'";
    }
    if (IsBlank(c)) {
        return "the decimal mark cannot be a blank, not " + CodeText(c);
    }
    if (IsUnsafeCharacter(c)) {
        return "the decimal mark cannot be a control character, not " + CodeText(c);
    }
    return {};
}

std::string DecimalMarkOf(const char* localeDecimalPoint)
{
    if (localeDecimalPoint == nullptr || !DecimalMarkProblem(localeDecimalPoint).empty()) {
        return ".";
    }
    return localeDecimalPoint;
}

std::string UserDecimalMark()
{
    if (std::setlocale(LC_NUMERIC, "") == nullptr) {
        return ".";
    }
    const std::lconv* conventions = std::localeconv();
    return DecimalMarkOf(conventions != nullptr ? conventions->decimal_point : nullptr);
}

} // namespace lmp::cli
