#pragma once

#include <cstdint>
#include <optional>

namespace lmp::gui {

// What the select-all loop works on: the file list, the pane that receives the descriptions and
// the window around them. Indexes are the list's displayed order.
class SelectAllList {
public:
    virtual ~SelectAllList() = default;

    // Before the first item: clears the selection and the pane and shows that the window is busy.
    virtual void BeginCommand() = 0;
    // After the last item, however the loop ended: undoes what BeginCommand showed.
    virtual void EndCommand() noexcept = 0;

    virtual int ItemCount() const = 0;
    virtual int SelectionCount() const = 0;
    // Changes whenever the list reads a folder, so that indexes held across events can be checked.
    virtual unsigned ContentsVersion() const = 0;
    // Changes whenever the selection does, whoever changes it.
    virtual unsigned SelectionVersion() const = 0;
    // Selects the item and shows it selected at once, or deselects it.
    virtual void Select(int index, bool selected) = 0;

    // The item's edition code (-1 for none), its description having gone to the pane, after the
    // separator line when withSeparator, if that code is edition. Empty, with nothing written, while
    // the result is not ready: the loop then keeps the window alive and asks again. Throws when the
    // file cannot be read.
    virtual std::optional<std::int32_t> Describe(int index, std::int32_t edition, bool withSeparator) = 0;

    // Called after every item: processes pending events (the window does so at most once a frame),
    // so that it repaints, the user's input is handled and other commands may run. After an empty
    // Describe it may wait for the next event.
    virtual void KeepAlive() = 0;
};

// The select-all command: selects exactly the list's items of one edition in list order, describing
// each as it goes, with the events processed after every item.
class SelectAllLoop {
public:
    // busy is set from the start of the outermost command to its end.
    explicit SelectAllLoop(bool& busy) noexcept : busy_(busy) {}

    // Runs the command for edition 0, 1 or 2; other codes only set and clear busy. A command started
    // by the events processed inside the loop supersedes it, and so do a re-read of the list, a list
    // that has shrunk below the next index and Stop(): the loop ends before its next item. An error
    // of Describe ends the loop and leaves Run; EndCommand and busy are seen to on every way out.
    void Run(SelectAllList& list, unsigned edition);

    // Ends the running loops before their next item (the window is closing).
    void Stop() noexcept { ++run_; }

private:
    bool& busy_;
    int depth_ = 0;    // commands running, nested through the events processed
    unsigned run_ = 0; // changes when the running loop must stop
};

} // namespace lmp::gui
