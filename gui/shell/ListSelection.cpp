#include "gui/shell/ListSelection.h"

#include <algorithm>
#include <utility>

namespace lmp::gui {

void ListSelection::Reset(std::size_t rows)
{
    rows_.assign(rows, 0);
    staged_.clear();
    count_ = 0;
}

bool ListSelection::Selected(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() &&
           (rows_[static_cast<std::size_t>(row)] & kSelected) != 0;
}

std::vector<int> ListSelection::SelectedRows() const
{
    std::vector<int> rows;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if ((rows_[row] & kSelected) != 0) {
            rows.push_back(static_cast<int>(row));
        }
    }
    return rows;
}

std::vector<unsigned char> ListSelection::SelectedFlags() const
{
    std::vector<unsigned char> flags(rows_.size());
    std::transform(rows_.begin(), rows_.end(), flags.begin(),
                   [](unsigned char row) { return static_cast<unsigned char>(row & kSelected); });
    return flags;
}

void ListSelection::Mark(int top, int bottom, bool selected)
{
    const int last = std::min(bottom, static_cast<int>(rows_.size()) - 1);
    for (int row = std::max(0, top); row <= last; ++row) {
        unsigned char& flags = rows_[static_cast<std::size_t>(row)];
        if (((flags & kSelected) != 0) != selected) {
            count_ += selected ? 1 : -1;
        }
        flags = static_cast<unsigned char>(selected ? flags | kSelected | kModelHeld
                                                    : flags & ~(kSelected | kModelHeld));
    }
}

void ListSelection::Stage(int row, bool selected)
{
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size() || Selected(row) == selected) {
        return;
    }
    unsigned char& flags = rows_[static_cast<std::size_t>(row)];
    if ((flags & kStaged) == 0) {
        flags |= kStaged;
        staged_.push_back(row);
    }
    flags = static_cast<unsigned char>(selected ? flags | kSelected : flags & ~kSelected);
    count_ += selected ? 1 : -1;
}

ListSelection::Handover ListSelection::TakeStaged()
{
    Handover handover;
    for (const int row : std::exchange(staged_, {})) {
        unsigned char& flags = rows_[static_cast<std::size_t>(row)];
        flags &= static_cast<unsigned char>(~kStaged);
        const bool shown = (flags & kSelected) != 0;
        if (shown != ((flags & kModelHeld) != 0)) {
            (shown ? handover.added : handover.removed).push_back(row);
        }
    }
    return handover;
}

} // namespace lmp::gui
