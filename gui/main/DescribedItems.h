#pragma once

#include <array>
#include <set>

namespace lmp::gui {

// Which file-list items have been described since the pane was last reset: one flag per item index
// 0..10000, and a set of the indexes beyond them, so that those items too are described once.
class DescribedItemSet {
public:
    static constexpr int kFlagCount = 10001;

    // False for a negative index.
    bool Contains(int index) const noexcept;
    // Marks the item; a negative index is ignored.
    void Mark(int index);
    // Forgets every item.
    void Clear() noexcept;

private:
    std::array<bool, kFlagCount> flags_{};
    std::set<int> beyondFlags_;
};

} // namespace lmp::gui
