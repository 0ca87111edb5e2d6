#pragma once

#include <array>

namespace lmp::gui {

// The proportions the window keeps on resizing: the upper area's height to the client area's, the
// folder tree's width to the upper area's, the empty lower panel's width to the lower area's.
using SizeRatioSet = std::array<float, 3>;

// part / whole rounded to a 32-bit float; previous when whole is not positive (a minimised window has
// no client area, and dividing by it would poison every later resize).
float MeasureRatio(int part, int whole, float previous) noexcept;

// whole × ratio, computed exactly and truncated toward zero; never below zero or above whole.
int ApplyRatio(int whole, float ratio) noexcept;

} // namespace lmp::gui
