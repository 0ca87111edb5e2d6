#include "gui/main/ListingWaits.h"

#include <utility>

#include <QApplication>

#include "gui/desktop/ErrorBox.h"
#include "gui/shell/ShellListView.h"

namespace lmp::gui {

void ListingWaits::Add(std::function<void()> command)
{
    if (!list_.Listing()) {
        command();
        return;
    }
    if (waiting_.empty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    waiting_.push_back({list_.Folder(), std::move(command)});
}

void ListingWaits::Run()
{
    if (waiting_.empty()) {
        return;
    }
    QApplication::restoreOverrideCursor();
    for (Waiting& waiting : std::exchange(waiting_, {})) {
        if (waiting.folder == list_.Folder()) {
            RunHandler(waiting.command);
        }
    }
}

void ListingWaits::Drop()
{
    if (!waiting_.empty()) {
        waiting_.clear();
        QApplication::restoreOverrideCursor();
    }
}

} // namespace lmp::gui
