#include "core/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace lmp {
namespace {

const std::string kFffd = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

TEST(Utf8, ToValidUtf8ReplacesEachStrayByteAndSafeTextAlsoEachControlLineBreakAndBidirectionalControl)
{
    struct Row {
        const char* name;
        std::string text, valid, safe;
    };
    const Row rows[] = {
        {"empty", "", "", ""},
        {"ASCII", "Coaster 2.TD4", "Coaster 2.TD4", "Coaster 2.TD4"},
        {"two-byte e acute", "Caf\xC3\xA9", "Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"four-byte character", "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!"},
        {"Latin-1 e acute alone", "Caf\xE9.SV4", "Caf" + kFffd + ".SV4", "Caf" + kFffd + ".SV4"},
        {"continuation byte alone", "a\x80z", "a" + kFffd + "z", "a" + kFffd + "z"},
        {"8-bit CSI alone",
         "\x9B"
         "2J",
         kFffd + "2J", kFffd + "2J"},
        {"sequence cut off at the end", "a\xE2\x82", "a" + kFffd + kFffd, "a" + kFffd + kFffd},
        {"sequence cut off by ASCII", "\xE2\x82z", kFffd + kFffd + "z", kFffd + kFffd + "z"},
        {"overlong dot", "\xC0\xAE", kFffd + kFffd, kFffd + kFffd},
        {"surrogate", "\xED\xA0\x80", kFffd + kFffd + kFffd, kFffd + kFffd + kFffd},
        {"above U+10FFFF", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd, kFffd + kFffd + kFffd + kFffd},
        {"NUL, tab, CR and LF", std::string("a\0b\tc\rd\ne", 9), std::string("a\0b\tc\rd\ne", 9),
         "a" + kFffd + "b" + kFffd + "c" + kFffd + "d" + kFffd + "e"},
        {"ESC, BEL and the last C0 control", "\x1B]0;t\x07\x1F", "\x1B]0;t\x07\x1F",
         kFffd + "]0;t" + kFffd + kFffd},
        {"DEL", "~\x7F", "~\x7F", "~" + kFffd},
        {"first and last C1 control, then no-break space", "\xC2\x80\xC2\x9F\xC2\xA0",
         "\xC2\x80\xC2\x9F\xC2\xA0", kFffd + kFffd + "\xC2\xA0"},
        {"line and paragraph separators and the first embedding, not U+2027",
         "\xE2\x80\xA7\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAA",
         "\xE2\x80\xA7\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAA", "\xE2\x80\xA7" + kFffd + kFffd + kFffd},
        {"right-to-left override, which shows a, U+202E, gpj.TD4 as a4DT.jpg", "a\xE2\x80\xAEgpj.TD4",
         "a\xE2\x80\xAEgpj.TD4", "a" + kFffd + "gpj.TD4"},
        {"every other bidirectional control: U+061C, U+200E-F, U+202B-E, U+2066-9",
         "\xD8\x9C\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAE\xE2\x81\xA6\xE2"
         "\x81\xA7\xE2\x81\xA8\xE2\x81\xA9",
         "\xD8\x9C\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAE\xE2\x81\xA6\xE2"
         "\x81\xA7\xE2\x81\xA8\xE2\x81\xA9",
         kFffd + kFffd + kFffd + kFffd + kFffd + kFffd + kFffd + kFffd + kFffd + kFffd + kFffd},
        {"their neighbours: U+061B, U+061D, U+200D, U+2010, U+202F, U+2065, U+206A",
         "\xD8\x9B\xD8\x9D\xE2\x80\x8D\xE2\x80\x90\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA",
         "\xD8\x9B\xD8\x9D\xE2\x80\x8D\xE2\x80\x90\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA",
         "\xD8\x9B\xD8\x9D\xE2\x80\x8D\xE2\x80\x90\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"}};
    for (const auto& row : rows) {
        EXPECT_EQ(ToValidUtf8(row.text), row.valid) << row.name;
        EXPECT_EQ(SafeText(row.text), row.safe) << row.name;
    }
}

} // namespace
} // namespace lmp
