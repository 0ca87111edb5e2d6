#pragma once

#include <string>
#include <vector>

namespace lmp {

// Description lines, UTF-8, in the order they are shown.
using Lines = std::vector<std::string>;

} // namespace lmp
