#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lmp {

// The length of the well-formed UTF-8 sequence that starts at text[pos], 0 when none starts there
// (a stray continuation byte, a cut-off sequence, an overlong form, a surrogate, above U+10FFFF) or
// pos is past the end.
std::size_t WellFormedLength(std::string_view text, std::size_t pos) noexcept;

// text with every byte that does not belong to a well-formed sequence replaced by U+FFFD.
std::string ToValidUtf8(std::string_view text);

// Whether a terminal or a text control may act on the character instead of showing it: the C0 controls
// (tab, CR and LF included), DEL, the C1 controls U+0080 to U+009F, the line and paragraph separators
// U+2028 and U+2029, and the bidirectional controls that reorder the text around them (U+061C, U+200E,
// U+200F, U+202A to U+202E, U+2066 to U+2069), which let "a\u202Egpj.TD4" show as "a4DT.jpg".
bool IsUnsafeCharacter(char32_t c) noexcept;

// Text fit to show on a terminal, in a description line or in a message box, made from any bytes
// (a name, a path, file contents): ToValidUtf8's result with every unsafe character also replaced by
// U+FFFD. Text without either comes back as it is.
std::string SafeText(std::string_view text);

// The code point of the well-formed sequence at text[pos] whose length (1 to 4) WellFormedLength gave.
char32_t CodePointAt(std::string_view text, std::size_t pos, std::size_t length) noexcept;

} // namespace lmp
