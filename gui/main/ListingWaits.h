#pragma once

#include <functional>
#include <vector>

#include <QString>

namespace lmp::gui {

class TShellListView;

// Commands that wait for the file list to have read its folder: each runs once the list has, at once
// when it has already; the busy cursor shows meanwhile. A command for a folder the list no longer shows
// is dropped.
class ListingWaits {
public:
    explicit ListingWaits(TShellListView& list) : list_(list) {}
    ListingWaits(const ListingWaits&) = delete;
    ListingWaits& operator=(const ListingWaits&) = delete;
    ~ListingWaits() { Drop(); }

    void Add(std::function<void()> command);
    // The list has read its folder: runs the commands for it, each through the error box.
    void Run();
    void Drop();
    bool Empty() const { return waiting_.empty(); }

private:
    struct Waiting {
        QString folder;
        std::function<void()> command;
    };

    TShellListView& list_;
    std::vector<Waiting> waiting_;
};

} // namespace lmp::gui
