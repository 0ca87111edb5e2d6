#include "core/Utf8.h"

#include <algorithm>

namespace lmp {

namespace {

// The length of the UTF-8 sequence that lead starts, 0 when lead cannot start one.
std::size_t SequenceLength(unsigned char lead) noexcept
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Every byte outside a well-formed sequence becomes U+FFFD, and so does every unsafe character when
// unsafeToo is set.
std::string Replaced(std::string_view text, bool unsafeToo)
{
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = WellFormedLength(text, pos);
        if (length == 0 || (unsafeToo && IsUnsafeCharacter(CodePointAt(text, pos, length)))) {
            result += kReplacement;
            pos += std::max<std::size_t>(length, 1);
            continue;
        }
        result.append(text.substr(pos, length));
        pos += length;
    }
    return result;
}

} // namespace

std::size_t WellFormedLength(std::string_view text, std::size_t pos) noexcept
{
    if (pos >= text.size())
        return 0;
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || length > text.size() - pos)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80)
            return 0;
    }
    if (length >= 3) {
        const auto second = static_cast<unsigned char>(text[pos + 1]);
        // Overlong forms, UTF-16 surrogates and values above U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return 0;
    }
    return length;
}

char32_t CodePointAt(std::string_view text, std::size_t pos, std::size_t length) noexcept
{
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = static_cast<unsigned char>(text[pos]) & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i)
        c = c << 6 | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    return c;
}

bool IsUnsafeCharacter(char32_t c) noexcept
{
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool lineBreak = c == 0x2028 || c == 0x2029;
    const bool bidirectional = c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
                               (c >= 0x2066 && c <= 0x2069);
    return control || lineBreak || bidirectional;
}

std::string ToValidUtf8(std::string_view text)
{
    return Replaced(text, false);
}

std::string SafeText(std::string_view text)
{
    return Replaced(text, true);
}

} // namespace lmp
