#pragma once

#include <cstdint>
#include <optional>

#include <QElapsedTimer>

#include "core/Describe.h"
#include "gui/main/SelectAllLoop.h"

class QWidget;

namespace lmp::gui {

class DescriptionPane;
class TShellListView;

// The window as the select-all loop sees it: the file list, the description pane and the window around
// them. The files are queued on the pane's feed a stretch ahead of the item the loop is at, so that the
// workers describe them while the window selects; the pane gets the lines of a frame in one append.
class WindowSelectAllList final : public SelectAllList {
public:
    // run numbers this command among the window's select-all runs, nested ones included.
    WindowSelectAllList(QWidget& window, TShellListView& list, DescriptionPane& pane, unsigned run);

    void BeginCommand() override;
    void EndCommand() noexcept override;

    int ItemCount() const override;
    int SelectionCount() const override;
    unsigned ContentsVersion() const override;
    unsigned SelectionVersion() const override;
    // The row is painted with the next frame, together with the others selected meanwhile.
    void Select(int index, bool selected) override;

    std::optional<std::int32_t> Describe(int index, std::int32_t edition, bool withSeparator) override;
    // Events are processed once a frame while results are ready, and waited for when one is not.
    void KeepAlive() override;

private:
    void FlushPane();
    void QueueAhead(int index, std::int32_t edition);

    static constexpr int kQueuedAhead = 64;

    QWidget& window_;
    TShellListView& list_;
    DescriptionPane& pane_;
    unsigned run_;
    unsigned contents_ = 0;
    std::optional<unsigned> generation_;
    int queued_ = 0; // items queued from the start of the list
    bool waiting_ = false;
    int frame_ = 16;
    QElapsedTimer sinceEvents_;
    Lines backlog_; // found since the pane was last appended to
};

} // namespace lmp::gui
