#pragma once

#include <cstdint>
#include <optional>

#include <QElapsedTimer>

#include "core/Describe.h"
#include "gui/main/SelectAllRun.h"

class QWidget;

namespace lmp::gui {

class DescriptionPane;
class PaneFeed;
class TShellListView;

// The window as a select-all run sees it: the file list, the description pane and the window around
// them. Selections are staged on the list, which shows them at once and hands them to its selection
// model in batches; the pane gets the lines written at most once a frame, as many as it takes in a
// share of the frame.
class WindowSelectAllList final : public SelectAllList {
public:
    WindowSelectAllList(QWidget& window, TShellListView& list, DescriptionPane& pane);

    void BeginCommand() override;
    // Shows the lines still held, unless the pane was cleared meanwhile, and hands the staged selections
    // to the selection model.
    void EndCommand() noexcept override;

    int ItemCount() const override;
    int SelectionCount() const override;
    unsigned ContentsVersion() const override;
    unsigned SelectionVersion() const override;
    bool IsFolder(int index) const override;
    void Select(int index, bool selected) override;
    void Write(Description description, bool withSeparator) override;

    // Once a frame has passed since the last append, or when backlogged, appends the lines written since,
    // as many as the pane takes at once.
    void ShowLinesWhenDue();
    // More lines are held than the next append takes: the run should wait for the pane.
    bool Backlogged() const noexcept;

private:
    void ShowLines(std::size_t most);
    // Lines written before the pane was cleared by others are not shown.
    void ForgetLinesIfCleared();

    QWidget& window_;
    TShellListView& list_;
    DescriptionPane& pane_;
    unsigned clears_ = 0; // the pane's clears when the held lines were written
    int frame_ = 16;
    QElapsedTimer sinceShown_;
    Lines held_;
    std::size_t shown_ = 0; // the lines of held_ before this one are in the pane
};

// A run's files described by the pane's feed, ahead of the item the run handles, behind what the feed
// was asked for before.
class PaneFeedSource final : public SelectAllSource {
public:
    // owner: the run's number among the window's select-all runs; contents: the list's contents version
    // the run's indexes belong to.
    PaneFeedSource(PaneFeed& feed, unsigned owner, unsigned contents);
    // Drops what the run asked for and has not taken.
    ~PaneFeedSource() override;
    PaneFeedSource(const PaneFeedSource&) = delete;
    PaneFeedSource& operator=(const PaneFeedSource&) = delete;

    void Ask(int index, const DescribeOptions& options) override;
    std::optional<Description> Take() override;
    bool Dropped() override;

private:
    PaneFeed& feed_;
    unsigned owner_;
    unsigned contents_;
    unsigned generation_;
};

} // namespace lmp::gui
