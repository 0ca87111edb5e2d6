#include "gui/main/SelectAllLoop.h"

#include <utility>

namespace lmp::gui {

namespace {

// Runs an action when the scope ends, however it ends.
template <typename Action> class AtScopeEnd {
public:
    explicit AtScopeEnd(Action action) : action_(std::move(action)) {}
    ~AtScopeEnd() { action_(); }
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;

private:
    Action action_;
};

} // namespace

void SelectAllLoop::Run(SelectAllList& list, unsigned edition)
{
    ++depth_;
    busy_ = true;
    const AtScopeEnd endCommand([this] {
        if (--depth_ == 0) {
            busy_ = false;
        }
    });
    if (edition > 2) {
        return;
    }
    const unsigned run = ++run_;
    list.BeginCommand();
    const AtScopeEnd endList([&list] { list.EndCommand(); });

    const auto wanted = static_cast<std::int32_t>(edition);
    const unsigned contents = list.ContentsVersion();
    // The events processed between items may have started another command, shown another folder
    // or read this one again: the indexes no longer stand for the items this loop began with.
    const auto superseded = [&](int index) {
        return run != run_ || contents != list.ContentsVersion() || index >= list.ItemCount();
    };
    // Until someone else changes the selection, the items ahead are known to be unselected, and
    // deselecting them, which costs as much as selecting, can be left out.
    unsigned ownSelection = list.SelectionVersion();
    bool selectionChangedElsewhere = false;
    bool withSeparator = false;
    const int count = list.ItemCount();
    for (int index = 0; index < count; ++index) {
        if (superseded(index)) {
            return;
        }
        std::optional<std::int32_t> found;
        for (;;) {
            // Once anything is selected, every later description is led by the separator line.
            withSeparator = withSeparator || list.SelectionCount() > 0;
            found = list.Describe(index, wanted, withSeparator);
            if (found) {
                break;
            }
            list.KeepAlive();
            if (superseded(index)) {
                return;
            }
        }
        selectionChangedElsewhere = selectionChangedElsewhere || list.SelectionVersion() != ownSelection;
        if (*found == wanted || selectionChangedElsewhere) {
            list.Select(index, *found == wanted);
            ownSelection = list.SelectionVersion();
        }
        list.KeepAlive();
    }
}

} // namespace lmp::gui
