#include "gui/main/MainForm.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QSplitter>

#include "core/Describe.h"
#include "core/DescribePipeline.h"
#include "gui/about/AboutBox.h"
#include "gui/desktop/DecimalMark.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/Fonts.h"
#include "gui/desktop/InstallFolder.h"
#include "gui/desktop/NativePath.h"
#include "gui/desktop/UserSettings.h"
#include "gui/filter/FilterDlg.h"
#include "gui/main/DropCopy.h"
#include "gui/pane/PaneFeed.h"
#include "gui/pane/PaneRules.h"
#include "gui/main/Placement.h"
#include "gui/main/SelectAllLoop.h"
#include "gui/main/SelectionRules.h"
#include "gui/main/StartupArguments.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/GameDetailsColumns.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

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

QWidget* Panel(const QSize& minimum)
{
    auto* panel = new QWidget;
    panel->setMinimumSize(minimum);
    return panel;
}

// The single child fills the panel.
void Fill(QWidget& panel, QWidget* child)
{
    auto* layout = new QHBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(child);
}

// The first child keeps its size when the splitter grows or shrinks; the second takes the rest.
QSplitter* Splitter(Qt::Orientation orientation, int handleWidth, QWidget* first, QWidget* second)
{
    auto* splitter = new QSplitter(orientation);
    splitter->setHandleWidth(handleWidth);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
    splitter->addWidget(first);
    splitter->addWidget(second);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    return splitter;
}

int Extent(const QSplitter& splitter)
{
    return splitter.orientation() == Qt::Vertical ? splitter.height() : splitter.width();
}

// Gives the splitter's first child the size; the second takes what is left beyond the handle.
void SetLeadingSize(QSplitter& splitter, int size)
{
    splitter.setSizes({size, std::max(0, Extent(splitter) - splitter.handleWidth() - size)});
}

// The window as the select-all loop sees it. The files are queued a stretch ahead of the item the
// loop is at, so that the pool describes them while the window selects.
class WindowSelectAllList final : public SelectAllList {
public:
    WindowSelectAllList(TMainForm& form, PaneFeed& feed, unsigned run, std::function<void()> clearPane,
                        std::function<void(const Lines&)> append)
        : form_(form), list_(*form.ShellListView1), feed_(feed), run_(run), clearPane_(std::move(clearPane)),
          append_(std::move(append))
    {
    }

    void BeginCommand() override
    {
        list_.ClearSelection();
        form_.repaint();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        list_.setFocus();
        clearPane_();
        contents_ = list_.ContentsVersion();
        frame_ = FrameIntervalMs();
        // The first item is followed by the events, as a command started with a click expects.
        sinceEvents_.invalidate();
    }
    void EndCommand() noexcept override
    {
        // The lines found before an error or a superseding command stay.
        FlushPane();
        // What this run queued ahead and did not reach is not wanted any more.
        feed_.Drop(run_);
        QApplication::restoreOverrideCursor();
    }

    int ItemCount() const override { return list_.ItemCount(); }
    int SelectionCount() const override { return list_.SelectionCount(); }
    unsigned ContentsVersion() const override { return list_.ContentsVersion(); }
    unsigned SelectionVersion() const override { return list_.SelectionVersion(); }

    // The row is painted with the next frame, together with the others selected meanwhile.
    void Select(int index, bool selected) override { list_.SetSelected(index, selected); }

    std::optional<std::int32_t> Describe(int index, std::int32_t edition, bool withSeparator) override
    {
        // A folder is no game file, whatever its name: it is not queued and writes nothing.
        if (list_.IsFolder(index)) {
            return -1;
        }
        for (;;) {
            QueueAhead(index, edition);
            const unsigned generation = feed_.Generation();
            std::optional<std::pair<PaneRequest, Description>> taken = feed_.Take(run_);
            if (taken) {
                Description& description = taken->second;
                if (withSeparator) {
                    AddSeparator(description);
                }
                std::move(description.lines.begin(), description.lines.end(), std::back_inserter(backlog_));
                return description.edition;
            }
            // A refresh run from the events processed dropped this run's files: queue them again.
            if (feed_.Generation() == generation) {
                waiting_ = true;
                return std::nullopt;
            }
        }
    }

    // Events are processed once a frame while results are ready, and waited for when one is not. The
    // pane gets the frame's lines in one append, laid out and painted once.
    void KeepAlive() override
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

private:
    void FlushPane()
    {
        if (!backlog_.empty()) {
            append_(backlog_);
            backlog_.clear();
        }
    }

    void QueueAhead(int index, std::int32_t edition)
    {
        if (generation_ != std::optional(feed_.Generation())) {
            generation_ = feed_.Generation();
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
            feed_.Queue(std::move(request));
        }
    }

    static constexpr int kQueuedAhead = 64;

    TMainForm& form_;
    TShellListView& list_;
    PaneFeed& feed_;
    unsigned run_;
    std::function<void()> clearPane_;
    std::function<void(const Lines&)> append_;
    unsigned contents_ = 0;
    std::optional<unsigned> generation_;
    int queued_ = 0; // items queued from the start of the list
    bool waiting_ = false;
    int frame_ = 16;
    QElapsedTimer sinceEvents_;
    Lines backlog_; // found since the pane was last appended to
};

} // namespace

TMainForm::TMainForm(QWidget* parent) : TMainForm(QStringList(), parent) {}

TMainForm::TMainForm(const QStringList& startPaths, QWidget* parent)
    : QMainWindow(parent), startPaths_(startPaths)
{
    MainForm = this;
    decimalMark_ = RegionalDecimalMark();
    PaneFeed::Sinks sinks;
    sinks.pathOf = [this](int index, unsigned contents) -> std::optional<std::filesystem::path> {
        if (contents != ShellListView1->ContentsVersion() || index >= ShellListView1->ItemCount()) {
            return std::nullopt;
        }
        return ShellListView1->ItemFile(index);
    };
    sinks.append = [this](const Lines& lines) { AppendLines(lines); };
    sinks.failed = [this](const PaneRequest& failed, const QString& message,
                          const std::vector<PaneRequest>& dropped) {
        DescriptionFailed(failed, message, dropped);
    };
    sinks.idle = [this] { ShowStartProblems(); };
    feed_ = std::make_unique<PaneFeed>(std::move(sinks));
    feed_->SetDecimalMark(decimalMark_);
    CreateMenu();
    CreateLayout();
    // The rows keep their order while a command works through them.
    ShellListView1->SetOrderHeld([this] { return SelectionBusy; });
    if (const std::optional<FileFilter> filter = ReadListFilter()) {
        ShellListView1->Files().SetFilter(*filter);
    }
    detailsColumns_ = new GameDetailsColumns(*ShellListView1);
    detailsColumns_->SetDecimalMark(decimalMark_);
    if (ReadGameDetailsShown()) {
        GameDetails1->setChecked(true);
        detailsColumns_->SetShown(true);
    }
    CreateConnections();
    ApplyDesignSizes();
    RunHandler([this] { FormCreate(); });
    // After the ratios are measured at the design size: a smaller fit keeps their proportions.
    FitIntoScreen(*this);
}

TMainForm::~TMainForm()
{
    // The worker threads stop and are joined before any widget they feed goes.
    feed_.reset();
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

void TMainForm::CreateMenu()
{
    MainMenu = menuBar();
    FileMenu = MainMenu->addMenu(QStringLiteral("&File"));
    ExitItem = FileMenu->addAction(QStringLiteral("E&xit"));
    ExitItem->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    ExitItem->setStatusTip(QStringLiteral("Exit application"));

    View1 = MainMenu->addMenu(QStringLiteral("&View"));
    RefreshDescription = View1->addAction(QStringLiteral("Refresh Description"));
    RefreshDirectory = View1->addAction(QStringLiteral("Refresh Directory"));
    N1 = View1->addSeparator();
    SelectAllOriginalLMPfiles1 = View1->addAction(QStringLiteral("Select All Original LMP files"));
    SelectAllVJEMfiles1 = View1->addAction(QStringLiteral("Select All VJ/EM files"));
    SelectAllQQfiles1 = View1->addAction(QStringLiteral("Select All QQ files"));
    N2 = View1->addSeparator();
    SelectMatchingTP4s = View1->addAction(QStringLiteral("Select Matching TP4's"));
    N3 = View1->addSeparator();
    GameDetails1 = View1->addAction(QStringLiteral("Game Details"));
    GameDetails1->setCheckable(true);
    Filter1 = View1->addAction(QStringLiteral("Filter..."));

    Help1 = MainMenu->addMenu(QStringLiteral("&Help"));
    About1 = Help1->addAction(QStringLiteral("&About..."));
}

void TMainForm::CreateLayout()
{
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setFont(PreferredFont(QStringLiteral("System"), 13, QFontDatabase::GeneralFont));
    const QFont shellFont = PreferredFont(QStringLiteral("MS Sans Serif"), 11, QFontDatabase::GeneralFont);

    ShellTreeView1 = new TShellTreeView;
    ShellTreeView1->setFont(shellFont);
    UpperLeftPanel = Panel({40, 30});
    Fill(*UpperLeftPanel, ShellTreeView1);

    ShellListView1 = new TShellListView;
    ShellListView1->setFont(shellFont);
    UpperRightPanel = Panel({40, 30});
    Fill(*UpperRightPanel, ShellListView1);

    UpperMainPanel = Panel({100, 40});
    UpperHorizSplitter = Splitter(Qt::Horizontal, 5, UpperLeftPanel, UpperRightPanel);
    Fill(*UpperMainPanel, UpperHorizSplitter);

    Memo1 = new QPlainTextEdit;
    Memo1->setMinimumSize(40, 30);
    Memo1->setFont(PreferredFont(QStringLiteral("Courier New"), 12, QFontDatabase::FixedFont));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    LowerLeftPanel = new QFrame;
    LowerLeftPanel->setMinimumSize(30, 30);
    LowerLeftPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    LowerMainPanel = Panel({100, 50});
    LowerHorizSplitter = Splitter(Qt::Horizontal, 8, Memo1, LowerLeftPanel);
    Fill(*LowerMainPanel, LowerHorizSplitter);

    VerticalSplitter = Splitter(Qt::Vertical, 5, UpperMainPanel, LowerMainPanel);
    setCentralWidget(VerticalSplitter);
    setTabOrder(ShellTreeView1, ShellListView1);
    setTabOrder(ShellListView1, Memo1);
}

void TMainForm::CreateConnections()
{
    // The list follows the tree before the window hears of the change, and a folder opened in the
    // list becomes the tree's selection; one that has gone in the meantime goes to the error box.
    connect(ShellTreeView1, &TShellTreeView::Change, ShellListView1, &TShellListView::SetFolder);
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
    connect(ShellTreeView1, &TShellTreeView::EndDrag, this, [this](QObject* target, const QPoint& position) {
        RunHandler([&] { ShellTreeView1EndDrag(target, position.x(), position.y()); });
    });
    connect(ShellTreeView1, &TShellTreeView::Change, this,
            [this] { RunHandler([this] { ShellTreeView1Change(); }); });
    connect(ShellListView1, &TShellListView::Listed, this, [this] { SelectStartFiles(); });
    connect(ShellListView1, &TShellListView::Change, this,
            [this](int item) { RunHandler([this, item] { ShellListView1Change(item); }); });
    connect(VerticalSplitter, &QSplitter::splitterMoved, this, [this] { VerticalSplitterMoved(); });
    connect(UpperHorizSplitter, &QSplitter::splitterMoved, this, [this] { UpperHorizSplitterMoved(); });
    connect(LowerHorizSplitter, &QSplitter::splitterMoved, this, [this] { LowerHorizSplitterMoved(); });
    connect(ExitItem, &QAction::triggered, this, [this] { RunHandler([this] { ExitItemClick(); }); });
    connect(About1, &QAction::triggered, this, [this] { RunHandler([this] { About1Click(); }); });
    connect(RefreshDescription, &QAction::triggered, this,
            [this] { RunHandler([this] { RefreshDescriptionClick(); }); });
    connect(RefreshDirectory, &QAction::triggered, this,
            [this] { RunHandler([this] { RefreshDirectoryClick(); }); });
    connect(SelectAllOriginalLMPfiles1, &QAction::triggered, this,
            [this] { RunHandler([this] { SelectAllOriginalLMPfiles1Click(); }); });
    connect(SelectAllVJEMfiles1, &QAction::triggered, this,
            [this] { RunHandler([this] { SelectAllVJEMfiles1Click(); }); });
    connect(SelectAllQQfiles1, &QAction::triggered, this,
            [this] { RunHandler([this] { SelectAllQQfiles1Click(); }); });
    connect(SelectMatchingTP4s, &QAction::triggered, this,
            [this] { RunHandler([this] { SelectMatchingTP4sClick(); }); });
    connect(GameDetails1, &QAction::triggered, this,
            [this](bool checked) { RunHandler([this, checked] { GameDetails1Click(checked); }); });
    connect(Filter1, &QAction::triggered, this, [this] { RunHandler([this] { Filter1Click(); }); });
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
    DescribedItems.clear();
    SelectionBusy = false;
    ClearPane();
    MeasureSizeRatios();
    if (!startPaths_.isEmpty()) {
        OpenStartPaths();
        return;
    }
    if (const std::optional<QString> installFolder = ReadInstallFolder()) {
        ShellTreeView1->SetPath(*installFolder);
    }
    if (ShellTreeView1->Path().isEmpty()) {
        ShellTreeView1->SetPath(QDir::currentPath());
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
        PaneRequest request;
        // As lmpinfo does: a file that cannot be read is reported and the others are still described.
        request.stopOnError = false;
        for (const QString& path : plan.paths) {
            request.path = NativePath(path);
            feed_->Queue(request);
            // As lmpinfo does: every file after the first, described or not, starts with a separator.
            request.options.withSeparator = true;
        }
    }
    startDescribing_ = true;
    if (!feed_->Busy()) {
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
            QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplicationTitle), text,
                            QMessageBox::Ok, this);
            box.setTextFormat(Qt::PlainText);
            box.exec();
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
            DescribedItems.insert(ShellListView1->ItemFile(*found));
        }
    }
    SelectionBusy = wasBusy;
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
        notified = NotifiedItem{ShellListView1->Selected(item), ShellListView1->Focused(item),
                                DescribedItems.contains(ShellListView1->ItemFile(item))};
    }
    const PaneResponse response =
        RespondToListChange(SelectionBusy, ShellListView1->SelectionCount(), notified);
    if (response.reset) {
        ClearPane();
        DescribedItems.clear();
    }
    if (response.describe) {
        // Marked at once: the item counts as described while it waits its turn, and is unmarked
        // again if it cannot be read.
        DescribeOptions options;
        options.withSeparator = response.withSeparator;
        QueueDescription(item, options, true);
        DescribedItems.insert(ShellListView1->ItemFile(item));
    }
}

void TMainForm::RefreshDescriptionClick()
{
    ClearPane();
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
    ClearPane();
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
    WindowSelectAllList list(
        *this, *feed_, ++selectAllRuns_, [this] { ClearPane(); },
        [this](const Lines& lines) { AppendLines(lines); });
    selectAll_.Run(list, edition);
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
    detailsColumns_->SetShown(checked);
    WriteGameDetailsShown(checked);
}

void TMainForm::Filter1Click()
{
    if (FilterDlg == nullptr) {
        return;
    }
    TFilterDlg& dialog = *FilterDlg;
    const std::array<QCheckBox*, 6> boxes = {dialog.FilterTD4CheckBox, dialog.FilterTP4CheckBox,
                                             dialog.FilterSV4CheckBox, dialog.FilterSC4CheckBox,
                                             dialog.FilterCusCheckBox, dialog.FilterAllCheckBox};
    // The first showing of a run starts from the filter the user applied in an earlier one; "all
    // files" comes last, so that ticking it ticks the others as the dialog always does.
    if (!std::exchange(filterDialogMatched_, true)) {
        if (const std::optional<FileFilter> saved = ReadListFilter()) {
            for (std::size_t bit = 0; bit < boxes.size(); ++bit) {
                boxes[bit]->setChecked((saved->mask & (1U << bit)) != 0);
            }
            dialog.FilterCustomEdit->setText(QString::fromStdString(saved->customExtension));
        }
    }
    dialog.FilterCusCheckBox->setEnabled(true);
    dialog.FilterCustomEdit->setEnabled(true);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    FileFilter filter;
    filter.mask = 0;
    for (std::size_t bit = 0; bit < boxes.size(); ++bit) {
        if (boxes[bit]->isChecked()) {
            filter.mask = static_cast<std::uint16_t>(filter.mask | (1U << bit));
        }
    }
    filter.customExtension = dialog.FilterCustomEdit->text().toStdString();
    WriteListFilter(filter);
    ShellListView1->Files().SetFilter(filter);
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
    return feed_->Busy();
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
    feed_->Queue(std::move(request));
}

void TMainForm::AppendLines(const Lines& lines)
{
    // One append of all the lines lays the pane out once per file rather than once per line.
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        text.append(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
    Memo1->appendPlainText(text.join(QLatin1Char('\n')));
}

// Whatever is queued for the pane goes with what it shows.
void TMainForm::ClearPane()
{
    Memo1->clear();
    feed_->Cancel();
}

void TMainForm::DescriptionFailed(const PaneRequest& failed, const QString& message,
                                  const std::vector<PaneRequest>& dropped)
{
    if (!failed.stopOnError) {
        startProblems_ << SafeBoxText(message);
        return;
    }
    // A later notification for an item that was not described tries it again.
    const auto unmark = [this](const PaneRequest& request) {
        if (request.marked) {
            DescribedItems.erase(request.path);
        }
    };
    unmark(failed);
    std::for_each(dropped.begin(), dropped.end(), unmark);
    ShowErrorBox(message);
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
    auto* list = qobject_cast<TShellListView*>(Source);
    if (!target || list == nullptr) {
        return;
    }
    QStringList captions;
    for (TTreeNode node = target; node; node = node.Parent()) {
        captions << node.Caption();
    }
    const TargetFolder folder = TargetFolderFromCaptions(captions);
    if (!folder.driveFound) {
        ShowMessage(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), NoDriveMessage(folder.path),
                    QMessageBox::Ok, this);
        return;
    }
    // The paths are taken before the first question: while it is open the list may read more of
    // its folder and move items to other indexes.
    std::vector<std::filesystem::path> sources;
    const int count = list->ItemCount();
    for (int index = 0; index < count; ++index) {
        if (list->Selected(index)) {
            sources.push_back(list->ItemFile(index));
        }
    }
    QStringList notCopied;
    CopyItems(
        sources, folder.path,
        [this](const QString& fileName) {
            return ShowMessage(QMessageBox::Warning, QStringLiteral("Warning"), OverwriteQuestion(fileName),
                               QMessageBox::Yes | QMessageBox::No, this) == QMessageBox::Yes;
        },
        &notCopied);
    if (!notCopied.isEmpty()) {
        ShowMessage(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), NotCopiedMessage(notCopied),
                    QMessageBox::Ok, this);
    }
}

void TMainForm::ShellTreeView1EndDrag(QObject*, int, int) {}

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
        feed_->SetDecimalMark(decimalMark_);
    }
    QMainWindow::changeEvent(event);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A select-all loop still running, and the files being read, stop once the window has gone.
    selectAll_.Stop();
    feed_->Cancel();
    QMainWindow::closeEvent(event);
}

} // namespace lmp::gui
