#pragma once

#include <optional>

namespace lmp::gui {

// The state of the file-list item that a change notification concerns.
struct NotifiedItem {
    bool selected = false;
    bool focused = false;
    bool described = false; // marked in DescribedItems
};

// What the description pane does about one change notification of the file list.
struct PaneResponse {
    bool reset = false;    // clear the pane and forget the described items
    bool describe = false; // describe the item, then mark it
    bool withSeparator = false;

    bool operator==(const PaneResponse&) const = default;
};

// The response to a notification while selectionCount items are selected; item is empty when the
// notification concerns all items at once. Nothing while a command holds the selection (busy).
PaneResponse RespondToListChange(bool busy, int selectionCount,
                                 const std::optional<NotifiedItem>& item) noexcept;

} // namespace lmp::gui
