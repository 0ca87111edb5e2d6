#include "gui/main/SizeRatios.h"

#include <algorithm>
#include <cmath>

namespace lmp::gui {

float MeasureRatio(int part, int whole, float previous) noexcept
{
    if (whole <= 0) {
        return previous;
    }
    return static_cast<float>(static_cast<double>(part) / static_cast<double>(whole));
}

int ApplyRatio(int whole, float ratio) noexcept
{
    if (whole <= 0 || !(ratio > 0.0f)) {
        return 0;
    }
    // A double holds the product of a 32-bit int and a float's 24-bit mantissa exactly.
    const double product = std::trunc(static_cast<double>(whole) * static_cast<double>(ratio));
    return static_cast<int>(std::min(product, static_cast<double>(whole)));
}

} // namespace lmp::gui
