#include "gui/main/WindowSelectAllList.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <span>
#include <utility>

#include <QWidget>

#include "gui/pane/DescriptionPane.h"
#include "gui/pane/PaneFeed.h"
#include "gui/shell/ShellListView.h"
#include "scan/DescribePipeline.h"

namespace lmp::gui {

WindowSelectAllList::WindowSelectAllList(QWidget& window, TShellListView& list, DescriptionPane& pane)
    : window_(window), list_(list), pane_(pane)
{
}

void WindowSelectAllList::BeginCommand()
{
    list_.ClearSelection();
    window_.repaint();
    list_.setFocus();
    pane_.ClearPane();
    clears_ = pane_.Clears();
    frame_ = FrameIntervalMs();
    sinceShown_.start();
}

void WindowSelectAllList::EndCommand() noexcept
{
    // The lines found before an error or the end stay.
    ShowLines(std::numeric_limits<std::size_t>::max());
    list_.CommitSelection();
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

bool WindowSelectAllList::IsFolder(int index) const
{
    return list_.IsFolder(index);
}

void WindowSelectAllList::Select(int index, bool selected)
{
    list_.StageSelected(index, selected);
}

void WindowSelectAllList::Write(Description description, bool withSeparator)
{
    ForgetLinesIfCleared();
    if (withSeparator) {
        AddSeparator(description);
    }
    std::move(description.lines.begin(), description.lines.end(), std::back_inserter(held_));
}

void WindowSelectAllList::ShowLinesWhenDue()
{
    // With more lines held than one append takes, each append fills a frame of its own.
    if (sinceShown_.elapsed() >= frame_ || Backlogged()) {
        ShowLines(pane_.LinesPerAppend());
    }
}

bool WindowSelectAllList::Backlogged() const noexcept
{
    return held_.size() - shown_ > pane_.LinesPerAppend();
}

void WindowSelectAllList::ShowLines(std::size_t most)
{
    ForgetLinesIfCleared();
    const std::size_t count = std::min(most, held_.size() - shown_);
    pane_.Append(std::span<const std::string>(held_).subspan(shown_, count));
    shown_ += count;
    if (shown_ == held_.size()) {
        held_.clear();
        shown_ = 0;
    }
    sinceShown_.start();
}

void WindowSelectAllList::ForgetLinesIfCleared()
{
    if (pane_.Clears() != clears_) {
        clears_ = pane_.Clears();
        held_.clear();
        shown_ = 0;
    }
}

PaneFeedSource::PaneFeedSource(PaneFeed& feed, unsigned owner, unsigned contents)
    : feed_(feed), owner_(owner), contents_(contents), generation_(feed.Generation())
{
}

PaneFeedSource::~PaneFeedSource()
{
    feed_.Drop(owner_);
}

void PaneFeedSource::Ask(int index, const DescribeOptions& options)
{
    PaneRequest request;
    request.item = index;
    request.contents = contents_;
    request.options = options;
    request.owner = owner_;
    // What the feed holds of the run from here on belongs to the feed's present generation.
    generation_ = feed_.Generation();
    feed_.Queue(std::move(request));
}

std::optional<Description> PaneFeedSource::Take()
{
    std::optional<std::pair<PaneRequest, Description>> taken = feed_.Take(owner_);
    if (!taken) {
        return std::nullopt;
    }
    return std::move(taken->second);
}

bool PaneFeedSource::Dropped()
{
    const unsigned generation = feed_.Generation();
    return std::exchange(generation_, generation) != generation;
}

} // namespace lmp::gui
