#include "gui/main/SelectAllRun.h"

#include <algorithm>
#include <utility>

namespace lmp::gui {

SelectAllRun::SelectAllRun(SelectAllList& list, SelectAllSource& source, unsigned edition)
    : list_(list), source_(source), wanted_(static_cast<std::int32_t>(edition))
{
    options_.acceptOriginal = edition == 0;
    options_.acceptFirstExpansion = edition == 1;
    options_.acceptSecondExpansion = edition == 2;
    // The separator depends on the selection when the item's turn comes: added then.
    options_.withSeparator = false;
}

void SelectAllRun::Begin()
{
    list_.BeginCommand();
    contents_ = list_.ContentsVersion();
    count_ = list_.ItemCount();
    ownSelection_ = list_.SelectionVersion();
    AskAhead();
}

void SelectAllRun::AskAhead()
{
    const int end = std::min(count_, next_ + kAskedAhead);
    for (asked_ = std::max(asked_, next_); asked_ < end; ++asked_) {
        if (!list_.IsFolder(asked_)) {
            source_.Ask(asked_, options_);
        }
    }
}

SelectAllRun::Progress SelectAllRun::Advance(const std::function<bool()>& goOn)
{
    for (;;) {
        // The list may have read a folder or moved its rows meanwhile: the indexes no longer stand for
        // the items the run began with.
        if (next_ >= count_ || contents_ != list_.ContentsVersion() || next_ >= list_.ItemCount()) {
            return Progress::Ended;
        }
        if (source_.Dropped()) {
            asked_ = next_;
        }
        AskAhead();
        std::int32_t found = kNoEdition;
        std::optional<Description> description;
        if (!list_.IsFolder(next_)) {
            description = source_.Take();
            if (!description) {
                return Progress::Waiting;
            }
            found = description->edition;
        }
        // Once anything is selected, every later description is led by the separator line.
        withSeparator_ = withSeparator_ || list_.SelectionCount() > 0;
        if (description) {
            list_.Write(std::move(*description), withSeparator_);
        }
        // Until someone else changes the selection, the items ahead are known to be unselected, and
        // deselecting them can be left out.
        selectionChangedElsewhere_ = selectionChangedElsewhere_ || list_.SelectionVersion() != ownSelection_;
        if (found == wanted_ || selectionChangedElsewhere_) {
            list_.Select(next_, found == wanted_);
            ownSelection_ = list_.SelectionVersion();
        }
        ++next_;
        if (!goOn()) {
            return Progress::Paused;
        }
    }
}

} // namespace lmp::gui
