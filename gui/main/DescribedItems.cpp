#include "gui/main/DescribedItems.h"

#include <cstddef>

namespace lmp::gui {

bool DescribedItemSet::Contains(int index) const noexcept
{
    if (index < 0) {
        return false;
    }
    if (index < kFlagCount) {
        return flags_[static_cast<std::size_t>(index)];
    }
    return beyondFlags_.contains(index);
}

void DescribedItemSet::Mark(int index)
{
    if (index < 0) {
        return;
    }
    if (index < kFlagCount) {
        flags_[static_cast<std::size_t>(index)] = true;
    } else {
        beyondFlags_.insert(index);
    }
}

void DescribedItemSet::Clear() noexcept
{
    flags_.fill(false);
    beyondFlags_.clear();
}

} // namespace lmp::gui
