#pragma once

#include <string>
#include <string_view>

namespace lmp::cli {

// A message of lmpinfo's for standard error, without its line end: "lmpinfo: " and the text as SafeText
// gives it (one line, nothing a terminal acts on). Every message lmpinfo writes there is made by this
// function; the structured output's "error" field keeps the text alone.
std::string FormatStderrMessage(std::string_view text);

} // namespace lmp::cli
