// The window's start: the folder it opens at, the files given on the command line, and the choices
// remembered from an earlier run, restored at start and kept at close.
#include "gui/main/MainForm.h"

#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include <QDir>
#include <QHash>
#include <QLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QSplitter>

#include "gui/desktop/DescribingThreads.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/desktop/UserSettings.h"
#include "gui/main/ListingWaits.h"
#include "gui/main/Placement.h"
#include "gui/main/RememberedLayout.h"
#include "gui/main/StartupArguments.h"
#include "gui/pane/DescriptionPane.h"
#include "gui/pane/PaneFeed.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

namespace lmp::gui {

// The folder shown when the window last closed, if it is still there; a folder deleted since, or on a
// disk no longer mounted, is passed over without a word.
void TMainForm::OpenLastFolder()
{
    std::error_code error;
    if (choices_.lastFolder.empty() || !std::filesystem::is_directory(choices_.lastFolder, error)) {
        return;
    }
    try {
        ShellTreeView1->SetPath(PathText(choices_.lastFolder));
    } catch (const std::exception&) {
        // Gone between the look and the opening: passed over as well.
    }
}

// The columns, the sort, and the window's geometry and splitters the user left; false when no
// remembered geometry puts the window where it can be seen.
bool TMainForm::RestoreChoices()
{
    const int sortBy = ApplyColumns(*ShellListView1->header(), choices_);
    if (sortBy >= 0) {
        ShellListView1->SortBy(sortBy, choices_.sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    if (choices_.geometry.isEmpty() || !restoreGeometry(choices_.geometry)) {
        return false;
    }
    restoreState(choices_.state);
    // The layout was done at the design size: it is done again at the remembered one.
    layout()->invalidate();
    layout()->activate();
    ApplySplitterSizes(*VerticalSplitter, choices_.splitters[0], true);
    for (QWidget* panel : {UpperMainPanel, LowerMainPanel}) {
        panel->layout()->invalidate();
        panel->layout()->activate();
    }
    ApplySplitterSizes(*UpperHorizSplitter, choices_.splitters[1], true);
    // The pane keeps its width, as on any resize.
    ApplySplitterSizes(*LowerHorizSplitter, choices_.splitters[2], false);
    MeasureSizeRatios();
    // Where it was, not where Qt has moved it to: a window whose screen has gone is placed anew.
    return ShowsOnSomeScreen(choices_.frame);
}

void TMainForm::SaveChoices()
{
    choices_.geometry = saveGeometry();
    choices_.frame = frameGeometry();
    choices_.state = saveState();
    choices_.splitters = {VerticalSplitter->sizes(), UpperHorizSplitter->sizes(),
                          LowerHorizSplitter->sizes()};
    CaptureColumns(*ShellListView1->header(), choices_);
    choices_.lastFolder = NativePath(ShellTreeView1->Path());
    WriteWindowChoices(choices_);
}

void TMainForm::NoteSettingsProblem()
{
    if (const QString notice = TakeSettingsNotice(); !notice.isEmpty()) {
        ShowNote(notice);
    }
}

void TMainForm::NoteThreadsShort()
{
    if (const QString notice = DescribingThreads::Instance().TakeNotice(); !notice.isEmpty()) {
        ShowNote(notice);
    }
}

void TMainForm::OpenStartPaths()
{
    const StartupPlan plan = PlanStartup(startPaths_);
    startProblems_ = plan.problems;
    if (plan.folder.isEmpty()) {
        ShellTreeView1->SetPath(QDir::currentPath());
    } else {
        ShellTreeView1->SetPath(plan.folder);
        startFolder_ = ShellListView1->Folder();
        startFiles_ = plan.files;
        waits_->Add([this] { SelectStartFiles(); });
        PaneRequest request;
        // As lmpinfo does: a file that cannot be read is reported and the others are still described.
        request.stopOnError = false;
        for (const QString& path : plan.paths) {
            request.path = NativePath(path);
            Memo1->Queue(request);
            // As lmpinfo does: every file after the first, described or not, starts with a separator.
            request.options.withSeparator = true;
        }
    }
    startDescribing_ = true;
    if (!Memo1->Pending()) {
        ShowStartProblems();
    }
}

// Once the start-up files have been described (or dropped), the paths left out are listed.
void TMainForm::ShowStartProblems()
{
    if (!std::exchange(startDescribing_, false) || startProblems_.isEmpty()) {
        return;
    }
    // Shown once the window is up, over it; paths are plain text whatever their characters.
    QMetaObject::invokeMethod(
        this,
        [this, text = std::exchange(startProblems_, {}).join(QLatin1Char('\n'))] {
            ShowMessage(QMessageBox::Warning, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                        this);
        },
        Qt::QueuedConnection);
}

// The start-up files become the selection, counted as described: the pane shows them already.
void TMainForm::SelectStartFiles()
{
    if (startFiles_.isEmpty() || ShellListView1->Folder() != startFolder_) {
        startFiles_.clear();
        return;
    }
    QHash<QString, int> indexes;
    for (int index = 0; index < ShellListView1->ItemCount(); ++index) {
        indexes.insert(ShellListView1->Caption(index), index);
    }
    const bool wasBusy = std::exchange(SelectionBusy, true);
    for (const QString& name : std::exchange(startFiles_, {})) {
        if (const auto found = indexes.constFind(name); found != indexes.cend()) {
            ShellListView1->SetSelected(*found, true);
            Memo1->MarkDescribed(ShellListView1->ItemFile(*found));
        }
    }
    SelectionBusy = wasBusy;
}

} // namespace lmp::gui
