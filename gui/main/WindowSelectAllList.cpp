#include "gui/main/WindowSelectAllList.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <QApplication>
#include <QWidget>

#include "gui/pane/DescriptionPane.h"
#include "gui/pane/PaneFeed.h"
#include "gui/shell/ShellListView.h"
#include "scan/DescribePipeline.h"

namespace lmp::gui {

WindowSelectAllList::WindowSelectAllList(QWidget& window, TShellListView& list, DescriptionPane& pane,
                                         unsigned run)
    : window_(window), list_(list), pane_(pane), run_(run)
{
}

void WindowSelectAllList::BeginCommand()
{
    list_.ClearSelection();
    window_.repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    list_.setFocus();
    pane_.ClearPane();
    contents_ = list_.ContentsVersion();
    frame_ = FrameIntervalMs();
    // The first item is followed by the events, as a command started with a click expects.
    sinceEvents_.invalidate();
}

void WindowSelectAllList::EndCommand() noexcept
{
    // The lines found before an error or a superseding command stay.
    FlushPane();
    // What this run queued ahead and did not reach is not wanted any more.
    pane_.Feed().Drop(run_);
    QApplication::restoreOverrideCursor();
}

int WindowSelectAllList::ItemCount() const
{
    return list_.ItemCount();
}

int WindowSelectAllList::SelectionCount() const
{
    return list_.SelectionCount();
}

unsigned WindowSelectAllList::ContentsVersion() const
{
    return list_.ContentsVersion();
}

unsigned WindowSelectAllList::SelectionVersion() const
{
    return list_.SelectionVersion();
}

void WindowSelectAllList::Select(int index, bool selected)
{
    list_.SetSelected(index, selected);
}

std::optional<std::int32_t> WindowSelectAllList::Describe(int index, std::int32_t edition, bool withSeparator)
{
    // A folder is no game file, whatever its name: it is not queued and writes nothing.
    if (list_.IsFolder(index)) {
        return -1;
    }
    PaneFeed& feed = pane_.Feed();
    for (;;) {
        QueueAhead(index, edition);
        const unsigned generation = feed.Generation();
        std::optional<std::pair<PaneRequest, Description>> taken = feed.Take(run_);
        if (taken) {
            Description& description = taken->second;
            if (withSeparator) {
                AddSeparator(description);
            }
            std::move(description.lines.begin(), description.lines.end(), std::back_inserter(backlog_));
            return description.edition;
        }
        // A refresh run from the events processed dropped this run's files: queue them again.
        if (feed.Generation() == generation) {
            waiting_ = true;
            return std::nullopt;
        }
    }
}

void WindowSelectAllList::KeepAlive()
{
    if (waiting_) {
        waiting_ = false;
        FlushPane();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= frame_) {
        FlushPane();
        QCoreApplication::processEvents();
    } else {
        return;
    }
    sinceEvents_.start();
}

void WindowSelectAllList::FlushPane()
{
    if (!backlog_.empty()) {
        pane_.Append(backlog_);
        backlog_.clear();
    }
}

void WindowSelectAllList::QueueAhead(int index, std::int32_t edition)
{
    PaneFeed& feed = pane_.Feed();
    if (generation_ != std::optional(feed.Generation())) {
        generation_ = feed.Generation();
        queued_ = index;
    }
    const int end = std::min(list_.ItemCount(), index + kQueuedAhead);
    for (; queued_ < end; ++queued_) {
        if (list_.IsFolder(queued_)) {
            continue;
        }
        PaneRequest request;
        request.item = queued_;
        request.contents = contents_;
        request.options.acceptOriginal = edition == 0;
        request.options.acceptFirstExpansion = edition == 1;
        request.options.acceptSecondExpansion = edition == 2;
        // The separator depends on the selection when the item's turn comes: added then.
        request.options.withSeparator = false;
        request.owner = run_;
        feed.Queue(std::move(request));
    }
}

} // namespace lmp::gui
