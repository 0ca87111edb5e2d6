#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <QLatin1StringView>
#include <QMainWindow>
#include <QSize>
#include <QStringList>

#include <memory>

#include "core/Describe.h"
#include "gui/desktop/UserSettings.h"
#include "gui/main/FolderHistory.h"
#include "gui/main/SizeRatios.h"
#include "gui/main/StatusSummary.h"

class QAction;
class QFrame;
class QObject;
class QMenu;
class QMenuBar;
class QSplitter;

namespace lmp::guitest {
struct FormParts;
}

namespace lmp::gui {

class ContextMenus;
class CopyJobs;
class ListingWaits;
class LocationBar;
class StatusSummary;
class DescriptionPane;
class GameDetailsColumns;
class SearchBar;
class SelectAllCommand;
class WindowSearch;
class TShellListView;
class TShellTreeView;

// The explorer window: the folder tree and the file list side by side above the description pane. It
// wires the views, the pane and the dialogs together; its widgets and state are its own. Each widget
// and action has its name as object name, for the programs that drive the window.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Sets MainForm to the new window, builds it at its design size, then runs FormCreate; then gives it
    // the size, place, splitters and columns the user left it with in an earlier run, if any.
    explicit TMainForm(QWidget* parent = nullptr);
    // The same, opened at the paths given on the command line instead of the usual start-up folder:
    // see PlanStartup. The paths' files are described in the order given, as lmpinfo describes them,
    // and selected once the list has read their folder; paths left out are listed in a message box.
    explicit TMainForm(const QStringList& startPaths, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Handlers. Those that can fail throw; their connections take the error to the error box.
    void FormCreate();
    void FormResize();
    void VerticalSplitterMoved();
    void UpperHorizSplitterMoved();
    void LowerHorizSplitterMoved();
    void ExitItemClick();
    void About1Click();
    void ShellListView1Change(int item);
    void RefreshDescriptionClick();
    void RefreshDirectoryClick();
    void ShellTreeView1Change();
    void SelectAllOriginalLMPfiles1Click();
    void SelectAllVJEMfiles1Click();
    void SelectAllQQfiles1Click();
    void SelectMatchingTP4sClick();
    // Shows or hides the game-detail columns and remembers the choice for the user.
    void GameDetails1Click(bool checked);
    // Opens the filter dialog; its OK applies its choices to the file list and remembers them.
    void Filter1Click();
    // Shows the search field above the list (see WindowSearch).
    void Search1Click();
    // Whether descriptions read are kept on disk for later searches; remembered for the user.
    void DescriptionCache1Click(bool checked);
    void ClearDescriptionCache1Click();

    // Starts selecting exactly the list's files of the edition (0, 1 or 2) and returns: the files are
    // described ahead on worker threads, and the list's selection and the pane fill in list order as
    // their descriptions arrive, while the window handles its events. Another selection command started
    // meanwhile, another folder, a re-read of the list or closing the window ends the command; a file
    // that cannot be read ends it there and shows the error box. The busy cursor and SelectionBusy last
    // until it ends (see SelectAllCommand). Other codes only set and clear SelectionBusy.
    void SelectAllOfEdition(unsigned edition);

    // Queues the description of the list item at index, to be appended to Memo1 (one line per entry,
    // when its edition is accepted) once it and everything queued before it has been described on a
    // worker thread; a folder, whatever its name, writes nothing. A file that cannot be read shows the error
    // box when its turn comes and drops what was queued after it. Clearing the pane drops what is queued.
    // Throws std::out_of_range for an index outside the list.
    void DescribeFile(int index, bool AcceptOriginal, bool AcceptFirstExpansion, bool AcceptSecondExpansion,
                      bool WithSeparator);

    // Files queued for the pane that have not reached it yet, a command waiting for the list to have read
    // its folder before it queues them, or a select-all command still running.
    bool DescribingPending() const;

    // Drag-and-drop copy from the file list onto a folder of the tree. A left press on the list
    // starts a drag once the mouse moves past the drag threshold; the tree takes drags that come from
    // a file list; a drop copies the list's selected files into the folder of the drop-target node, as
    // a job off the window's thread (see CopyJobs), behind the drops before it.
    void ShellListView1MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void ShellTreeView1DragOver(QObject* Source, int X, int Y, bool& Accept);
    void ShellTreeView1DragDrop(QObject* Source, int X, int Y);
    // Drops whose copies are running or waiting, or whose last box is still open.
    bool CopyingPending() const;

    // Back, Forward and Up in the folders visited, and the location typed in the location bar: a folder
    // opens in the window, a file opens its folder with the file selected; a path that names neither is
    // said beside the bar.
    void BackClick();
    void ForwardClick();
    void UpClick();
    void LocationEntered(const QString& path);

    // Says text in the status bar without a box, in place of the counts, for a while or until the next
    // note: what a drop copied, that the user's choices cannot be kept.
    void ShowNote(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The tests reach the widgets and the state through it.
    friend struct lmp::guitest::FormParts;

    void CreateLayout();
    void CreateMenu();
    void CreateConnections();
    void ApplyDesignSizes();
    void MeasureSizeRatios();
    void OpenStartPaths();
    void SelectStartFiles();
    // The tree shows another folder: the location bar and the history follow.
    void FolderShown(const QString& path);
    // What runs in the background, for the status bar.
    QString WorkUnderWay();
    void QueueDescription(int index, DescribeOptions options, bool marked);
    void ShowStartProblems();
    void OpenLastFolder();
    bool RestoreChoices();
    void SaveChoices();
    // Says in the status bar, once, that describing runs on fewer threads than asked.
    void NoteThreadsShort();
    void NoteSettingsProblem();
    // Gives the Game Details columns the cache on disk while they are shown and it is in use.
    void ShareDiskCache();

    QMenuBar* MainMenu = nullptr;
    QMenu* FileMenu = nullptr;
    QAction* ExitItem = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;
    TShellListView* ShellListView1 = nullptr;
    TShellTreeView* ShellTreeView1 = nullptr;
    DescriptionPane* Memo1 = nullptr;
    QWidget* UpperMainPanel = nullptr;
    QSplitter* VerticalSplitter = nullptr; // holds UpperMainPanel above LowerMainPanel
    QWidget* LowerMainPanel = nullptr;
    QSplitter* UpperHorizSplitter = nullptr; // holds UpperLeftPanel beside UpperRightPanel
    QSplitter* LowerHorizSplitter = nullptr; // holds Memo1 beside LowerLeftPanel
    QFrame* LowerLeftPanel = nullptr;
    QWidget* UpperLeftPanel = nullptr;
    QWidget* UpperRightPanel = nullptr;
    QMenu* View1 = nullptr;
    QAction* RefreshDescription = nullptr;
    QAction* RefreshDirectory = nullptr;
    QAction* N1 = nullptr;
    QAction* SelectAllOriginalLMPfiles1 = nullptr;
    QAction* SelectAllVJEMfiles1 = nullptr;
    QAction* SelectAllQQfiles1 = nullptr;
    QAction* N2 = nullptr;
    QAction* SelectMatchingTP4s = nullptr;
    QAction* N3 = nullptr;
    QAction* GameDetails1 = nullptr; // checkable: the file list's game-detail columns
    QAction* Filter1 = nullptr;
    QAction* N4 = nullptr;
    QAction* Search1 = nullptr;
    QAction* N5 = nullptr;
    QAction* DescriptionCache1 = nullptr; // checkable
    QAction* ClearDescriptionCache1 = nullptr;
    SearchBar* SearchBar1 = nullptr;

    // The window's state, set up by FormCreate. SelectionBusy: a command is changing the list's
    // selection, and the list's change notifications are ignored.
    bool SelectionBusy = false;
    SizeRatioSet SizeRatios{};

    std::string decimalMark_;
    QSize measuredClientSize_; // the client area the ratios were last measured from
    QStringList startPaths_;
    QStringList startFiles_; // to select once the list has read startFolder_
    QString startFolder_;
    QStringList startProblems_; // shown once the start-up files have been described
    bool startDescribing_ = false;
    std::unique_ptr<ListingWaits> waits_; // commands waiting for the list to read their folder
    LocationBar* Location = nullptr;
    StatusSummary* summary_ = nullptr;
    ContextMenus* contextMenus_ = nullptr;
    FolderHistory history_;
    PeakProgress detailsProgress_;
    std::unique_ptr<SelectAllCommand> selectAll_;
    GameDetailsColumns* detailsColumns_ = nullptr;
    bool filterDialogMatched_ = false; // the dialog shows the filter remembered from an earlier run
    CopyJobs* copies_ = nullptr;
    WindowSearch* search_ = nullptr;
    WindowChoices choices_; // as read at start; the columns also as they were when last changed
};

// The window's widget or action of that name, its object name, for the programs that drive the window
// from outside (the screenshot tool, the benchmarks). Throws std::logic_error when there is none.
template <typename Part> Part& PartNamed(const TMainForm& form, const char* name)
{
    auto* part = form.findChild<Part*>(QLatin1StringView(name));
    if (part == nullptr) {
        throw std::logic_error(std::string("the window has no ") + name);
    }
    return *part;
}

// The program's one main window; null until it is created.
extern TMainForm* MainForm;

} // namespace lmp::gui
