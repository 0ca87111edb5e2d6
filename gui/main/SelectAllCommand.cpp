#include "gui/main/SelectAllCommand.h"

#include <exception>

#include <QApplication>
#include <QElapsedTimer>

#include "gui/desktop/ErrorBox.h"
#include "gui/main/SelectAllRun.h"
#include "gui/main/WindowSelectAllList.h"
#include "gui/pane/DescriptionPane.h"
#include "gui/pane/PaneFeed.h"
#include "gui/shell/ShellListView.h"

namespace lmp::gui {

struct SelectAllCommand::Run {
    Run(QWidget& window, TShellListView& listView, DescriptionPane& pane, unsigned owner, unsigned edition)
        : list(window, listView, pane), source(pane.Feed(), owner, listView.ContentsVersion()),
          run(list, source, edition)
    {
    }

    WindowSelectAllList list;
    PaneFeedSource source;
    SelectAllRun run;
};

std::pair<int, int> SelectAllCommand::Progress() const noexcept
{
    return run_ ? std::pair{run_->run.Handled(), run_->run.Count()} : std::pair{0, 0};
}

SelectAllCommand::SelectAllCommand(QWidget& window, TShellListView& list, DescriptionPane& pane, bool& busy)
    : window_(window), list_(list), pane_(pane), busy_(busy)
{
    connect(&frameTimer_, &QTimer::timeout, this, &SelectAllCommand::Step);
    soon_.setSingleShot(true);
    soon_.setInterval(0);
    connect(&soon_, &QTimer::timeout, this, &SelectAllCommand::Step);
    connect(&pane_.Feed(), &PaneFeed::OwnerReady, this, &SelectAllCommand::StepSoon);
    connect(&list_, &TShellListView::Listed, this, &SelectAllCommand::OnListed);
}

SelectAllCommand::~SelectAllCommand()
{
    End();
}

void SelectAllCommand::Start(unsigned edition)
{
    if (edition > 2) {
        busy_ = running_;
        return;
    }
    End();
    running_ = true;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    edition_ = edition;
    folder_ = list_.Folder();
    waitingForListing_ = list_.Listing();
    if (!waitingForListing_) {
        Begin();
    }
}

void SelectAllCommand::Stop() noexcept
{
    End();
}

void SelectAllCommand::OnListed()
{
    if (!waitingForListing_ || list_.Listing()) {
        return;
    }
    waitingForListing_ = false;
    if (list_.Folder() != folder_) {
        End();
        return;
    }
    Begin();
}

void SelectAllCommand::Begin()
{
    try {
        run_ = std::make_unique<Run>(window_, list_, pane_, ++runs_, edition_);
        run_->run.Begin();
    } catch (...) {
        End(ErrorText(std::current_exception()));
        return;
    }
    frameTimer_.start(FrameIntervalMs());
    StepSoon();
}

void SelectAllCommand::StepSoon()
{
    if (run_ && !soon_.isActive()) {
        soon_.start();
    }
}

void SelectAllCommand::Step()
{
    if (!run_) {
        return;
    }
    // Half a frame of taking results at most, then one append, so that input and painting come in between.
    const qint64 budget = FrameIntervalMs() / 2;
    QElapsedTimer spent;
    spent.start();
    SelectAllRun::Progress progress = SelectAllRun::Progress::Ended;
    try {
        // The pane takes the lines more slowly than they are found: the descriptions wait in the feed
        // while it catches up.
        progress = run_->run.Advance([&] { return spent.elapsed() < budget && !run_->list.Backlogged(); });
    } catch (...) {
        End(ErrorText(std::current_exception()));
        return;
    }
    if (progress == SelectAllRun::Progress::Ended) {
        End();
        return;
    }
    run_->list.ShowLinesWhenDue();
    if (progress == SelectAllRun::Progress::Paused) {
        StepSoon();
    }
}

void SelectAllCommand::End(const QString& error) noexcept
{
    frameTimer_.stop();
    soon_.stop();
    if (run_) {
        run_->list.EndCommand();
        // What the run asked for and did not reach is dropped with it.
        run_.reset();
    }
    if (running_) {
        running_ = false;
        waitingForListing_ = false;
        QApplication::restoreOverrideCursor();
        busy_ = false;
    }
    if (!error.isEmpty()) {
        ShowErrorBox(error);
    }
}

} // namespace lmp::gui
