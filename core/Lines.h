#pragma once

#include <string>
#include <vector>

namespace lmp {

// Description lines, UTF-8, in the order they are shown. What a name or a file's contents put in a line
// passes through SafeText, so no line holds a control character or a line break.
using Lines = std::vector<std::string>;

} // namespace lmp
