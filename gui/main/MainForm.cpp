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
#include "gui/main/CopyJobs.h"
#include "gui/main/DropCopy.h"
#include "gui/main/Panels.h"
#include "gui/main/Placement.h"
#include "gui/main/RememberedLayout.h"
#include "gui/main/SelectAllCommand.h"
#include "gui/main/SelectionRules.h"
#include "gui/main/StartupArguments.h"
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

namespace {

// Qt sizes a window without its frame: these are the design's outer sizes (603 × 463, at least
// 300 × 300) less its 4-pixel borders and 19-pixel caption. The menu bar is inside.
constexpr QSize kMinimumWindowSize(292, 273);
// The client area below the menu bar at design: the upper area, its splitter, the lower area.
constexpr int kDesignClientWidth = 595;
constexpr int kDesignUpperHeight = 260;
constexpr int kDesignLowerHeight = 152;
constexpr int kDesignTreeWidth = 209;
constexpr int kDesignListWidth = 381;
constexpr int kDesignMemoWidth = 329;
constexpr int kDesignLowerLeftWidth = 258;

// Gives the widget or action its name in the window's layout as its object name.
template <typename Part> Part* Named(Part* part, const char* name)
{
    part->setObjectName(QLatin1StringView(name));
    return part;
}

// One item of the View menu: where the window keeps its action and the action's object name, its
// caption (none for a separator), its shortcut in portable text (none when empty) and its handler: click
// for a command, toggle, which takes the new state, for a checkable item.
struct ViewCommand {
    QAction* TMainForm::*action;
    const char* name;
    const char* caption = nullptr;
    const char* shortcut = "";
    void (TMainForm::*click)() = nullptr;
    void (TMainForm::*toggle)(bool) = nullptr;
};

} // namespace

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
    DropWaitingCommands();
    // A select-all command ends while the widgets it works on are there; the pane's worker threads stop
    // and are joined before any other widget goes.
    selectAll_.reset();
    delete Memo1;
    Memo1 = nullptr;
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

void TMainForm::CreateMenu()
{
    MainMenu = Named(menuBar(), "MainMenu");
    FileMenu = Named(MainMenu->addMenu(QStringLiteral("&File")), "FileMenu");
    ExitItem = Named(FileMenu->addAction(QStringLiteral("E&xit")), "ExitItem");
    ExitItem->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    ExitItem->setStatusTip(QStringLiteral("Exit application"));
    connect(ExitItem, &QAction::triggered, this, [this] { RunHandler([this] { ExitItemClick(); }); });

    View1 = Named(MainMenu->addMenu(QStringLiteral("&View")), "View1");
    static constexpr ViewCommand kViewCommands[] = {
        {&TMainForm::RefreshDescription, "RefreshDescription", "Refresh Description", "",
         &TMainForm::RefreshDescriptionClick},
        {&TMainForm::RefreshDirectory, "RefreshDirectory", "Refresh Directory", "",
         &TMainForm::RefreshDirectoryClick},
        {&TMainForm::N1, "N1"},
        {&TMainForm::SelectAllOriginalLMPfiles1, "SelectAllOriginalLMPfiles1",
         "Select All Original LMP files", "", &TMainForm::SelectAllOriginalLMPfiles1Click},
        {&TMainForm::SelectAllVJEMfiles1, "SelectAllVJEMfiles1", "Select All VJ/EM files", "",
         &TMainForm::SelectAllVJEMfiles1Click},
        {&TMainForm::SelectAllQQfiles1, "SelectAllQQfiles1", "Select All QQ files", "",
         &TMainForm::SelectAllQQfiles1Click},
        {&TMainForm::N2, "N2"},
        {&TMainForm::SelectMatchingTP4s, "SelectMatchingTP4s", "Select Matching TP4's", "",
         &TMainForm::SelectMatchingTP4sClick},
        {&TMainForm::N3, "N3"},
        {&TMainForm::GameDetails1, "GameDetails1", "Game Details", "", nullptr,
         &TMainForm::GameDetails1Click},
        {&TMainForm::Filter1, "Filter1", "Filter...", "", &TMainForm::Filter1Click},
    };
    for (const ViewCommand& command : kViewCommands) {
        if (command.caption == nullptr) {
            this->*command.action = Named(View1->addSeparator(), command.name);
            continue;
        }
        QAction* action = Named(View1->addAction(QString::fromLatin1(command.caption)), command.name);
        action->setShortcut(QKeySequence(QString::fromLatin1(command.shortcut), QKeySequence::PortableText));
        action->setCheckable(command.toggle != nullptr);
        connect(action, &QAction::triggered, this, [this, &command](bool checked) {
            RunHandler([&] {
                if (command.toggle != nullptr) {
                    (this->*command.toggle)(checked);
                } else {
                    (this->*command.click)();
                }
            });
        });
        this->*command.action = action;
    }

    Help1 = Named(MainMenu->addMenu(QStringLiteral("&Help")), "Help1");
    About1 = Named(Help1->addAction(QStringLiteral("&About...")), "About1");
    connect(About1, &QAction::triggered, this, [this] { RunHandler([this] { About1Click(); }); });
}

void TMainForm::CreateLayout()
{
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setFont(PreferredFont(QStringLiteral("System"), 13, QFontDatabase::GeneralFont));
    const QFont shellFont = PreferredFont(QStringLiteral("MS Sans Serif"), 11, QFontDatabase::GeneralFont);

    ShellTreeView1 = Named(new TShellTreeView, "ShellTreeView1");
    ShellTreeView1->setFont(shellFont);
    UpperLeftPanel = Named(Panel({40, 30}), "UpperLeftPanel");
    Fill(*UpperLeftPanel, ShellTreeView1);

    ShellListView1 = Named(new TShellListView, "ShellListView1");
    ShellListView1->setFont(shellFont);
    UpperRightPanel = Named(Panel({40, 30}), "UpperRightPanel");
    Fill(*UpperRightPanel, ShellListView1);

    UpperMainPanel = Named(Panel({100, 40}), "UpperMainPanel");
    UpperHorizSplitter =
        Named(Splitter(Qt::Horizontal, 5, UpperLeftPanel, UpperRightPanel), "UpperHorizSplitter");
    Fill(*UpperMainPanel, UpperHorizSplitter);

    DescriptionPane::Hooks hooks;
    hooks.pathOf = [this](int index, unsigned contents) -> std::optional<std::filesystem::path> {
        if (contents != ShellListView1->ContentsVersion() || index >= ShellListView1->ItemCount()) {
            return std::nullopt;
        }
        return ShellListView1->ItemFile(index);
    };
    hooks.notRead = [this](const QString& message) { startProblems_ << message; };
    hooks.idle = [this] { ShowStartProblems(); };
    Memo1 = Named(new DescriptionPane(std::move(hooks)), "Memo1");
    Memo1->setMinimumSize(40, 30);

    LowerLeftPanel = Named(new QFrame, "LowerLeftPanel");
    LowerLeftPanel->setMinimumSize(30, 30);
    LowerLeftPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    LowerMainPanel = Named(Panel({100, 50}), "LowerMainPanel");
    LowerHorizSplitter = Named(Splitter(Qt::Horizontal, 8, Memo1, LowerLeftPanel), "LowerHorizSplitter");
    Fill(*LowerMainPanel, LowerHorizSplitter);

    VerticalSplitter = Named(Splitter(Qt::Vertical, 5, UpperMainPanel, LowerMainPanel), "VerticalSplitter");
    setCentralWidget(VerticalSplitter);
    setTabOrder(ShellTreeView1, ShellListView1);
    setTabOrder(ShellListView1, Memo1);
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
    connect(ShellListView1, &TShellListView::Listed, this, [this] { RunAfterListing(); });
    connect(ShellListView1, &TShellListView::Change, this,
            [this](int item) { RunHandler([this, item] { ShellListView1Change(item); }); });
    connect(copies_, &CopyJobs::Finished, this, &TMainForm::ShowNote);
    connect(VerticalSplitter, &QSplitter::splitterMoved, this, [this] { VerticalSplitterMoved(); });
    connect(UpperHorizSplitter, &QSplitter::splitterMoved, this, [this] { UpperHorizSplitterMoved(); });
    connect(LowerHorizSplitter, &QSplitter::splitterMoved, this, [this] { LowerHorizSplitterMoved(); });
}

// Lays the hidden window out at its design sizes, so that FormCreate measures the design's ratios.
void TMainForm::ApplyDesignSizes()
{
    setMinimumSize(kMinimumWindowSize);
    resize(kDesignClientWidth, kDesignUpperHeight + VerticalSplitter->handleWidth() + kDesignLowerHeight +
                                   MainMenu->sizeHint().height());
    layout()->activate();
    VerticalSplitter->setSizes({kDesignUpperHeight, kDesignLowerHeight});
    UpperMainPanel->layout()->activate();
    LowerMainPanel->layout()->activate();
    UpperHorizSplitter->setSizes({kDesignTreeWidth, kDesignListWidth});
    LowerHorizSplitter->setSizes({kDesignMemoWidth, kDesignLowerLeftWidth});
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

void TMainForm::ShowNote(const QString& text)
{
    statusBar()->showMessage(text);
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
        AfterListing([this] { SelectStartFiles(); });
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

void TMainForm::AfterListing(std::function<void()> command)
{
    if (!ShellListView1->Listing()) {
        command();
        return;
    }
    if (afterListing_.empty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    afterListing_.push_back({ShellListView1->Folder(), std::move(command)});
}

void TMainForm::RunAfterListing()
{
    if (afterListing_.empty()) {
        return;
    }
    QApplication::restoreOverrideCursor();
    for (WaitingCommand& waiting : std::exchange(afterListing_, {})) {
        if (waiting.folder == ShellListView1->Folder()) {
            RunHandler(waiting.command);
        }
    }
}

void TMainForm::DropWaitingCommands()
{
    if (!afterListing_.empty()) {
        afterListing_.clear();
        QApplication::restoreOverrideCursor();
    }
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
        AfterListing([this] { RefreshDescriptionClick(); });
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
    ShellTreeView1->Refresh();
    ShellListView1->Refresh();
    RefreshDescriptionClick();
}

void TMainForm::ShellTreeView1Change()
{
    DropWaitingCommands();
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
    if (checked) {
        ApplyColumns(*ShellListView1->header(), choices_);
    }
    WriteGameDetailsShown(checked);
    NoteSettingsProblem();
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
    return Memo1->Pending() || !afterListing_.empty() || selectAll_->Running();
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
    DropWaitingCommands();
    Memo1->Feed().Cancel();
    QMainWindow::closeEvent(event);
}

} // namespace lmp::gui
