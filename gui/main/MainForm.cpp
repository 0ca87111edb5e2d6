#include "gui/main/MainForm.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QHash>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>

#include "gui/about/AboutBox.h"
#include "gui/desktop/DecimalMark.h"
#include "gui/desktop/DescribingThreads.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/FileFilter.h"
#include "gui/desktop/Fonts.h"
#include "gui/desktop/InstallFolder.h"
#include "gui/desktop/NativePath.h"
#include "gui/desktop/UserSettings.h"
#include "gui/filter/FilterDlg.h"
#include "gui/main/ContextMenus.h"
#include "gui/main/CopyJobs.h"
#include "gui/main/DropCopy.h"
#include "gui/main/ListingWaits.h"
#include "gui/main/LocationBar.h"
#include "gui/main/Panels.h"
#include "gui/main/Placement.h"
#include "gui/main/RememberedLayout.h"
#include "gui/main/SelectAllCommand.h"
#include "gui/main/SelectionRules.h"
#include "gui/main/StartupArguments.h"
#include "gui/main/WindowSearch.h"
#include "gui/pane/DescriptionPane.h"
#include "gui/pane/PaneFeed.h"
#include "gui/pane/PaneRules.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/GameDetailsColumns.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"
#include "scan/DescribePipeline.h"

namespace lmp::gui {

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(QWidget* parent) : TMainForm(QStringList(), parent) {}

TMainForm::TMainForm(const QStringList& startPaths, QWidget* parent)
    : QMainWindow(parent), startPaths_(startPaths)
{
    MainForm = this;
    decimalMark_ = RegionalDecimalMark();
    choices_ = ReadWindowChoices();
    CheckSettingsWritable();
    CreateMenu();
    CreateLayout();
    Memo1->SetDecimalMark(decimalMark_);
    waits_ = std::make_unique<ListingWaits>(*ShellListView1);
    // The rows keep their order while a command works through them.
    ShellListView1->SetOrderHeld([this] { return SelectionBusy; });
    if (const std::optional<FileFilter> filter = ReadListFilter()) {
        ShellListView1->Files().SetFilter(*filter);
    }
    selectAll_ = std::make_unique<SelectAllCommand>(*this, *ShellListView1, *Memo1, SelectionBusy);
    detailsColumns_ = new GameDetailsColumns(*ShellListView1);
    detailsColumns_->SetDecimalMark(decimalMark_);
    if (ReadGameDetailsShown()) {
        GameDetails1->setChecked(true);
        detailsColumns_->SetShown(true);
    }
    copies_ = new CopyJobs(*this);
    summary_ = new StatusSummary(*statusBar(), *ShellListView1, [this] { return WorkUnderWay(); });
    search_ = new WindowSearch(
        *SearchBar1, *ShellListView1, [this] { summary_->Touch(); },
        [this](const QString& text) { ShowNote(text); });
    search_->setParent(this);
    DescriptionCache1->setChecked(ReadDescriptionCacheUsed());
    search_->SetCacheUsed(DescriptionCache1->isChecked());
    ShareDiskCache();
    CreateConnections();
    ApplyDesignSizes();
    RunHandler([this] { FormCreate(); });
    // After the ratios are measured at the design size: a smaller fit keeps their proportions. A window
    // that the user left where it can be seen stays there.
    if (!RestoreChoices()) {
        FitIntoScreen(*this);
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            NoteSettingsProblem();
            NoteThreadsShort();
        },
        Qt::QueuedConnection);
}

TMainForm::~TMainForm()
{
    copies_->StopForExit();
    waits_->Drop();
    // A select-all command ends while the widgets it works on are there; the pane's worker threads stop
    // and are joined before any other widget goes.
    selectAll_.reset();
    delete Memo1;
    Memo1 = nullptr;
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

void TMainForm::CreateConnections()
{
    // The list follows the tree before the window hears of the change, and a folder opened in the
    // list becomes the tree's selection; one that has gone in the meantime goes to the error box.
    connect(ShellTreeView1, &TShellTreeView::Change, ShellListView1, &TShellListView::SetFolder);
    // A pipeline started later (the Game Details columns') may also run on fewer threads than asked.
    connect(
        &DescribingThreads::Instance(), &DescribingThreads::Short, this, [this] { NoteThreadsShort(); },
        Qt::QueuedConnection);
    connect(ShellListView1, &TShellListView::FolderOpened, this,
            [this](const QString& path) { RunHandler([&] { ShellTreeView1->SetPath(path); }); });
    connect(ShellListView1, &TShellListView::OpenFailed, this, [](const QString& path) {
        ShowErrorBox(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    });
    connect(ShellListView1, &TShellListView::RenameFailed, this, &ShowErrorBox);
    ShellListView1->SetFolder(ShellTreeView1->Path());
    connect(ShellListView1, &TShellListView::MouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& position) {
                RunHandler([&] { ShellListView1MouseDown(button, modifiers, position.x(), position.y()); });
            });
    connect(ShellTreeView1, &TShellTreeView::DragOver, this,
            [this](QObject* source, const QPoint& position, bool& accept) {
                RunHandler([&] { ShellTreeView1DragOver(source, position.x(), position.y(), accept); });
            });
    connect(ShellTreeView1, &TShellTreeView::DragDrop, this, [this](QObject* source, const QPoint& position) {
        RunHandler([&] { ShellTreeView1DragDrop(source, position.x(), position.y()); });
    });
    connect(ShellTreeView1, &TShellTreeView::Change, this,
            [this] { RunHandler([this] { ShellTreeView1Change(); }); });
    connect(ShellListView1, &TShellListView::Listed, this, [this] { waits_->Run(); });
    connect(ShellListView1, &TShellListView::Change, this,
            [this](int item) { RunHandler([this, item] { ShellListView1Change(item); }); });
    connect(copies_, &CopyJobs::Finished, this, &TMainForm::ShowNote);
    connect(ShellTreeView1, &TShellTreeView::Change, this, &TMainForm::FolderShown);
    FolderShown(ShellTreeView1->Path());
    connect(Location->BackAction(), &QAction::triggered, this,
            [this] { RunHandler([this] { BackClick(); }); });
    connect(Location->ForwardAction(), &QAction::triggered, this,
            [this] { RunHandler([this] { ForwardClick(); }); });
    connect(Location->UpAction(), &QAction::triggered, this, [this] { RunHandler([this] { UpClick(); }); });
    // Only while the list itself has the focus: Backspace edits a name being renamed.
    connect(new QShortcut(Qt::Key_Backspace, ShellListView1, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, [this] { RunHandler([this] { UpClick(); }); });
    connect(Location, &LocationBar::OpenTyped, this,
            [this](const QString& path) { RunHandler([&] { LocationEntered(path); }); });
    ContextMenus::Commands commands;
    commands.openFolder = [this](const QString& folder) { ShellTreeView1->SetPath(folder); };
    commands.refreshDescription = [this] { RefreshDescriptionClick(); };
    commands.refreshDirectory = [this] { RefreshDirectoryClick(); };
    commands.decimalMark = [this] { return decimalMark_; };
    contextMenus_ = new ContextMenus(*ShellListView1, *ShellTreeView1, std::move(commands));
    connect(VerticalSplitter, &QSplitter::splitterMoved, this, [this] { VerticalSplitterMoved(); });
    connect(UpperHorizSplitter, &QSplitter::splitterMoved, this, [this] { UpperHorizSplitterMoved(); });
    connect(LowerHorizSplitter, &QSplitter::splitterMoved, this, [this] { LowerHorizSplitterMoved(); });
}

void TMainForm::FormCreate()
{
    Memo1->ForgetDescribed();
    SelectionBusy = false;
    Memo1->ClearPane();
    MeasureSizeRatios();
    if (!startPaths_.isEmpty()) {
        OpenStartPaths();
        return;
    }
    if (const std::optional<QString> installFolder = ReadInstallFolder()) {
        ShellTreeView1->SetPath(*installFolder);
    }
    if (ShellTreeView1->Path().isEmpty()) {
        OpenLastFolder();
    }
    if (ShellTreeView1->Path().isEmpty()) {
        ShellTreeView1->SetPath(QDir::currentPath());
    }
}

void TMainForm::ShowNote(const QString& text)
{
    summary_->ShowNote(text);
}

void TMainForm::MeasureSizeRatios()
{
    measuredClientSize_ = VerticalSplitter->size();
    SizeRatios[0] = MeasureRatio(UpperMainPanel->height(), VerticalSplitter->height(), SizeRatios[0]);
    SizeRatios[1] = MeasureRatio(UpperLeftPanel->width(), UpperMainPanel->width(), SizeRatios[1]);
    SizeRatios[2] = MeasureRatio(LowerLeftPanel->width(), LowerMainPanel->width(), SizeRatios[2]);
}

void TMainForm::FormResize()
{
    SetLeadingSize(*VerticalSplitter, ApplyRatio(VerticalSplitter->height(), SizeRatios[0]));
    SetLeadingSize(*UpperHorizSplitter, ApplyRatio(UpperMainPanel->width(), SizeRatios[1]));
    // The empty lower panel takes whatever the pane and its splitter leave, so ratio 2 sizes
    // nothing: the pane keeps its width, and only its splitter changes it.
    MeasureSizeRatios();
}

void TMainForm::VerticalSplitterMoved()
{
    SizeRatios[0] = MeasureRatio(UpperMainPanel->height(), VerticalSplitter->height(), SizeRatios[0]);
}

void TMainForm::UpperHorizSplitterMoved()
{
    SizeRatios[1] = MeasureRatio(UpperLeftPanel->width(), UpperMainPanel->width(), SizeRatios[1]);
}

void TMainForm::LowerHorizSplitterMoved()
{
    SizeRatios[2] = MeasureRatio(LowerLeftPanel->width(), LowerMainPanel->width(), SizeRatios[2]);
}

void TMainForm::ExitItemClick()
{
    close();
}

void TMainForm::About1Click()
{
    if (AboutBox != nullptr) {
        AboutBox->exec();
    }
}

void TMainForm::ShellListView1Change(int item)
{
    // A command changing the selection item by item would otherwise pay for reading the list's
    // whole selection at every step.
    if (SelectionBusy) {
        return;
    }
    std::optional<NotifiedItem> notified;
    if (item != TShellListView::kAllItems) {
        notified = NotifiedItem{ShellListView1->Selected(item), ShellListView1->Focused(item), false};
        // Looked up only where it can matter: a click after a large selection reports every item it left.
        notified->described = notified->selected && notified->focused &&
                              Memo1->DescribedItems().contains(ShellListView1->ItemFile(item));
    }
    const PaneResponse response =
        RespondToListChange(SelectionBusy, ShellListView1->SelectionCount(), notified);
    if (response.reset) {
        Memo1->ClearPane();
        Memo1->ForgetDescribed();
    }
    if (response.describe) {
        // Marked at once: the item counts as described while it waits its turn, and is unmarked
        // again if it cannot be read.
        DescribeOptions options;
        options.withSeparator = response.withSeparator;
        QueueDescription(item, options, true);
        Memo1->MarkDescribed(ShellListView1->ItemFile(item));
    }
}

void TMainForm::RefreshDescriptionClick()
{
    // Started while the folder is being read, it covers every item once all are in the list.
    if (ShellListView1->Listing()) {
        waits_->Add([this] { RefreshDescriptionClick(); });
        return;
    }
    Memo1->ClearPane();
    bool first = true;
    for (int index = 0; index < ShellListView1->ItemCount(); ++index) {
        if (ShellListView1->Selected(index)) {
            DescribeFile(index, true, true, true, !first);
            first = false;
        }
    }
}

void TMainForm::RefreshDirectoryClick()
{
    const bool searching = search_->Active();
    ShellTreeView1->Refresh();
    ShellListView1->Refresh();
    if (searching) {
        search_->Restart();
    }
    RefreshDescriptionClick();
}

void TMainForm::FolderShown(const QString& path)
{
    history_.Visit(path);
    Location->ShowFolder(path);
    Location->SetHistoryState(history_.CanGoBack(), history_.CanGoForward(), FolderAbove(path).has_value());
    summary_->Touch();
}

void TMainForm::BackClick()
{
    if (const std::optional<QString> folder = history_.Back()) {
        ShellTreeView1->SetPath(*folder);
    }
}

void TMainForm::ForwardClick()
{
    if (const std::optional<QString> folder = history_.Forward()) {
        ShellTreeView1->SetPath(*folder);
    }
}

void TMainForm::UpClick()
{
    if (const std::optional<QString> folder = FolderAbove(ShellTreeView1->Path())) {
        ShellTreeView1->SetPath(*folder);
    }
}

void TMainForm::LocationEntered(const QString& path)
{
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    if (path.isEmpty() || !std::filesystem::exists(native, error)) {
        Location->SayProblem(PathError(path).what());
        return;
    }
    if (std::filesystem::is_directory(native, error)) {
        ShellTreeView1->SetPath(path);
        ShellListView1->setFocus();
        return;
    }
    // A file: its folder opens, and the file is selected once the list holds it.
    ShellTreeView1->SetPath(PathText(native.parent_path()));
    ShellListView1->setFocus();
    waits_->Add([this, name = native.filename()] {
        for (int index = 0; index < ShellListView1->ItemCount(); ++index) {
            if (ShellListView1->ItemFile(index).filename() == name) {
                ShellListView1->SetSelected(index, true);
                ShellListView1->scrollTo(ShellListView1->model()->index(index, 0));
                return;
            }
        }
    });
}

QString TMainForm::WorkUnderWay()
{
    std::optional<WorkProgress> describing;
    if (const auto [done, total] = selectAll_->Progress(); total > 0) {
        describing = WorkProgress{static_cast<std::size_t>(done), static_cast<std::size_t>(total)};
    } else if (Memo1->Pending()) {
        const auto [described, queued] = Memo1->Feed().Progress();
        describing = WorkProgress{described, queued};
    }
    const std::optional<WorkProgress> details =
        detailsProgress_.Of(detailsColumns_->Shown() ? detailsColumns_->Pending() : 0);
    std::optional<WorkProgress> copying;
    if (const auto [file, files] = copies_->Progress(); files > 0) {
        copying = WorkProgress{file, files};
    }
    const QString work = WorkText(describing, details, copying);
    const QString search = search_->StatusText();
    return search.isEmpty() || work.isEmpty() ? search + work : search + QStringLiteral(", ") + work;
}

void TMainForm::ShellTreeView1Change()
{
    search_->FolderChanged(ShellTreeView1->Path());
    waits_->Drop();
    Memo1->ClearPane();
}

void TMainForm::SelectAllOriginalLMPfiles1Click()
{
    SelectAllOfEdition(0);
}

void TMainForm::SelectAllVJEMfiles1Click()
{
    SelectAllOfEdition(1);
}

void TMainForm::SelectAllQQfiles1Click()
{
    SelectAllOfEdition(2);
}

void TMainForm::SelectAllOfEdition(unsigned edition)
{
    selectAll_->Start(edition);
}

void TMainForm::SelectMatchingTP4sClick()
{
    if (search_->Active()) {
        ShellListView1->SelectItems(search_->FoundTrackImages());
        return;
    }
    QStringList captions;
    std::vector<bool> selected;
    const int count = ShellListView1->ItemCount();
    captions.reserve(count);
    selected.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        captions.append(ShellListView1->Caption(index));
        selected.push_back(ShellListView1->Selected(index));
    }
    // Sorted otherwise, a design's image need not follow it.
    ShellListView1->SelectItems(ShellListView1->Files().InDefaultOrder()
                                    ? MatchingTrackImages(captions, selected)
                                    : MatchingTrackImagesAnywhere(captions, selected));
}

void TMainForm::GameDetails1Click(bool checked)
{
    // The columns' order and widths outlive their hiding.
    CaptureColumns(*ShellListView1->header(), choices_);
    detailsColumns_->SetShown(checked);
    ShareDiskCache();
    if (checked) {
        ApplyColumns(*ShellListView1->header(), choices_);
    }
    WriteGameDetailsShown(checked);
    NoteSettingsProblem();
}

void TMainForm::Search1Click()
{
    search_->Open();
}

void TMainForm::DescriptionCache1Click(bool checked)
{
    search_->SetCacheUsed(checked);
    ShareDiskCache();
    WriteDescriptionCacheUsed(checked);
    NoteSettingsProblem();
}

void TMainForm::ShareDiskCache()
{
    // Opened only once something reads through it: a window without Game Details or a search never does.
    detailsColumns_->SetDiskCache(detailsColumns_->Shown() ? search_->DiskCache() : nullptr);
}

void TMainForm::ClearDescriptionCache1Click()
{
    ShowNote(search_->ClearCache());
}

void TMainForm::Filter1Click()
{
    if (FilterDlg == nullptr) {
        return;
    }
    // The first showing of a run starts from the filter the user applied in an earlier one.
    if (!std::exchange(filterDialogMatched_, true)) {
        if (const std::optional<FileFilter> saved = ReadListFilter()) {
            FilterDlg->ShowChoices(*saved);
        }
    }
    const std::optional<FileFilter> filter = FilterDlg->ChooseFilter();
    if (!filter) {
        return;
    }
    WriteListFilter(*filter);
    NoteSettingsProblem();
    ShellListView1->Files().SetFilter(*filter);
    RefreshDirectoryClick();
}

void TMainForm::DescribeFile(int index, bool AcceptOriginal, bool AcceptFirstExpansion,
                             bool AcceptSecondExpansion, bool WithSeparator)
{
    if (index < 0 || index >= ShellListView1->ItemCount()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    DescribeOptions options;
    options.acceptOriginal = AcceptOriginal;
    options.acceptFirstExpansion = AcceptFirstExpansion;
    options.acceptSecondExpansion = AcceptSecondExpansion;
    options.withSeparator = WithSeparator;
    QueueDescription(index, options, false);
}

bool TMainForm::DescribingPending() const
{
    return Memo1->Pending() || !waits_->Empty() || selectAll_->Running();
}

void TMainForm::QueueDescription(int index, DescribeOptions options, bool marked)
{
    // A folder is no game file, whatever its name: it writes nothing.
    if (ShellListView1->IsFolder(index)) {
        return;
    }
    PaneRequest request;
    request.item = index;
    request.contents = ShellListView1->ContentsVersion();
    // Taken now: a re-sort of the list while the request waits moves its item to another index.
    request.path = ShellListView1->ItemFile(index);
    request.options = std::move(options);
    request.marked = marked;
    Memo1->Queue(std::move(request));
}

void TMainForm::ShellListView1MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers, int, int)
{
    if (Button == Qt::LeftButton) {
        ShellListView1->BeginDrag();
    }
}

void TMainForm::ShellTreeView1DragOver(QObject* Source, int, int, bool& Accept)
{
    Accept = qobject_cast<TShellListView*>(Source) != nullptr;
}

void TMainForm::ShellTreeView1DragDrop(QObject* Source, int, int)
{
    const TTreeNode target = ShellTreeView1->DropTarget();
    const auto* list = qobject_cast<TShellListView*>(Source);
    if (!target || list == nullptr) {
        return;
    }
    std::optional<CopyRequest> request = DropRequest(target, *list, *this);
    if (request && !request->sources.empty()) {
        copies_->Add(std::move(*request));
        summary_->Touch();
    }
}

bool TMainForm::CopyingPending() const
{
    return copies_->Pending();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // Qt also reports the size a window is first shown at; applying the ratios to the very sizes
    // they were measured from could only lose the truncated pixel.
    if (VerticalSplitter->size() != measuredClientSize_) {
        FormResize();
    }
}

void TMainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange) {
        decimalMark_ = RegionalDecimalMark();
        detailsColumns_->SetDecimalMark(decimalMark_);
        Memo1->SetDecimalMark(decimalMark_);
    }
    QMainWindow::changeEvent(event);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (copies_->Running()) {
        const int answer =
            ShowMessage(QMessageBox::Question, QString::fromLatin1(kApplicationTitle),
                        QStringLiteral("Files are still being copied. Stop copying and close?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        copies_->StopForExit();
    }
    SaveChoices();
    // A select-all command still running, and the files being read, stop once the window has gone.
    selectAll_->Stop();
    waits_->Drop();
    Memo1->Feed().Cancel();
    QMainWindow::closeEvent(event);
}

} // namespace lmp::gui
