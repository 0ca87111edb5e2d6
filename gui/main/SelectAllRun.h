#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "core/Describe.h"

namespace lmp::gui {

// What a select-all run works on: the file list, the pane that receives the descriptions and the window
// around them. Indexes are the list's displayed order.
class SelectAllList {
public:
    virtual ~SelectAllList() = default;

    // Before the first item: clears the selection and the pane and shows that the window is busy.
    virtual void BeginCommand() = 0;
    // After the last item, however the run ended: shows what the run left and undoes what BeginCommand
    // showed.
    virtual void EndCommand() noexcept = 0;

    virtual int ItemCount() const = 0;
    virtual int SelectionCount() const = 0;
    // Changes whenever the list reads a folder or its rows move, so that indexes held across events
    // can be checked.
    virtual unsigned ContentsVersion() const = 0;
    // Changes whenever someone other than the run changes the selection.
    virtual unsigned SelectionVersion() const = 0;
    // A folder is no game file, whatever its name: it is not described.
    virtual bool IsFolder(int index) const = 0;
    // Selects the item or not; the window shows it with one of the next frames.
    virtual void Select(int index, bool selected) = 0;
    // The item's description for the pane, after the separator line when withSeparator (for a file
    // that was described); the window shows it with one of the next frames.
    virtual void Write(Description description, bool withSeparator) = 0;
};

// Where a run has its files described: the descriptions come back in the order they were asked for.
class SelectAllSource {
public:
    virtual ~SelectAllSource() = default;

    // Asks for the description of the list item at index.
    virtual void Ask(int index, const DescribeOptions& options) = 0;
    // The next description asked for, once it is ready. Throws (lmp::FileError) when its file cannot be
    // read; nothing more of what was asked comes back then.
    virtual std::optional<Description> Take() = 0;
    // True, once, after what was asked has been dropped by others (the pane was cleared): it must be
    // asked for again.
    virtual bool Dropped() = 0;
};

// One select-all command's walk over the list: selects exactly the list's items of one edition in list
// order and writes each one's description. It works in stretches, as far as the descriptions are ready,
// so that the window's events run between them.
class SelectAllRun {
public:
    // edition: 0, 1 or 2.
    SelectAllRun(SelectAllList& list, SelectAllSource& source, unsigned edition);

    // Clears the selection and the pane, and asks for the first files.
    void Begin();

    enum class Progress {
        Waiting, // for the next description
        Paused,  // more may be ready: goOn said to stop
        Ended,   // the last item is done, or the list read a folder, moved its rows or shrank
    };
    // Handles the items in order while their descriptions are ready, asking goOn after each. Throws what
    // Take throws; the run is over then, the items before the file keeping what the run gave them.
    Progress Advance(const std::function<bool()>& goOn);

    // The items handled so far, and the items the run walks.
    int Handled() const noexcept { return next_; }
    int Count() const noexcept { return count_; }

private:
    void AskAhead();

    // Descriptions asked for ahead of the item handled: enough for the workers to describe while the
    // window selects and paints, few enough that a cancel has little to drop.
    static constexpr int kAskedAhead = 1024;

    SelectAllList& list_;
    SelectAllSource& source_;
    std::int32_t wanted_;
    DescribeOptions options_;
    unsigned contents_ = 0;
    int count_ = 0; // the item count when the run began
    int next_ = 0;  // the item handled next
    int asked_ = 0; // items up to here have been asked for
    bool withSeparator_ = false;
    unsigned ownSelection_ = 0;
    bool selectionChangedElsewhere_ = false;
};

} // namespace lmp::gui
