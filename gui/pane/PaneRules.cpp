#include "gui/pane/PaneRules.h"

namespace lmp::gui {

PaneResponse RespondToListChange(bool busy, int selectionCount,
                                 const std::optional<NotifiedItem>& item) noexcept
{
    PaneResponse response;
    if (busy) {
        return response;
    }
    // A selection down to one item starts the pane afresh, whichever item the notification concerns.
    response.reset = selectionCount == 1;
    // The reset forgets the item's mark too, so a reset item counts as not described.
    if (!item || !item->selected || !item->focused || (item->described && !response.reset)) {
        return response;
    }
    response.describe = true;
    response.withSeparator = selectionCount > 1;
    return response;
}

} // namespace lmp::gui
