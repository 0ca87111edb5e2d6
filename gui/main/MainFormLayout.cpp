// The window's parts: its menu and its widgets, laid out at their design sizes.
#include "gui/main/MainForm.h"

#include <filesystem>
#include <optional>
#include <utility>

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>

#include "gui/about/AboutBox.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/Fonts.h"
#include "gui/main/LocationBar.h"
#include "gui/main/Panels.h"
#include "gui/main/WindowSearch.h"
#include "gui/pane/DescriptionPane.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

namespace lmp::gui {

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
        {&TMainForm::RefreshDescription, "RefreshDescription", "&Refresh Description", "",
         &TMainForm::RefreshDescriptionClick},
        {&TMainForm::RefreshDirectory, "RefreshDirectory", "Refresh D&irectory", "F5",
         &TMainForm::RefreshDirectoryClick},
        {&TMainForm::N1, "N1"},
        {&TMainForm::SelectAllOriginalLMPfiles1, "SelectAllOriginalLMPfiles1",
         "Select All &Original LMP files", "", &TMainForm::SelectAllOriginalLMPfiles1Click},
        {&TMainForm::SelectAllVJEMfiles1, "SelectAllVJEMfiles1", "Select All &VJ/EM files", "",
         &TMainForm::SelectAllVJEMfiles1Click},
        {&TMainForm::SelectAllQQfiles1, "SelectAllQQfiles1", "Select All &QQ files", "",
         &TMainForm::SelectAllQQfiles1Click},
        {&TMainForm::N2, "N2"},
        {&TMainForm::SelectMatchingTP4s, "SelectMatchingTP4s", "Select &Matching TP4's", "",
         &TMainForm::SelectMatchingTP4sClick},
        {&TMainForm::N3, "N3"},
        {&TMainForm::GameDetails1, "GameDetails1", "&Game Details", "", nullptr,
         &TMainForm::GameDetails1Click},
        {&TMainForm::Filter1, "Filter1", "&Filter...", "", &TMainForm::Filter1Click},
        {&TMainForm::N4, "N4"},
        {&TMainForm::Search1, "Search1", "&Search...", "Ctrl+F", &TMainForm::Search1Click},
        {&TMainForm::N5, "N5"},
        {&TMainForm::DescriptionCache1, "DescriptionCache1", "Keep &Descriptions on Disk", "", nullptr,
         &TMainForm::DescriptionCache1Click},
        {&TMainForm::ClearDescriptionCache1, "ClearDescriptionCache1", "&Clear Descriptions Kept on Disk", "",
         &TMainForm::ClearDescriptionCache1Click},
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
            summary_->Touch();
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
    SearchBar1 = Named(new SearchBar, "SearchBar1");
    auto* listColumn = new QVBoxLayout(UpperRightPanel);
    listColumn->setContentsMargins(0, 0, 0, 0);
    listColumn->setSpacing(0);
    listColumn->addWidget(SearchBar1);
    listColumn->addWidget(ShellListView1);

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
    Location = new LocationBar(*this);
    addToolBar(Location);
    setTabOrder(ShellTreeView1, ShellListView1);
    setTabOrder(ShellListView1, Memo1);
}

// Lays the hidden window out at its design sizes, so that FormCreate measures the design's ratios.
void TMainForm::ApplyDesignSizes()
{
    setMinimumSize(kMinimumWindowSize);
    resize(kDesignClientWidth, kDesignUpperHeight + VerticalSplitter->handleWidth() + kDesignLowerHeight +
                                   MainMenu->sizeHint().height() + Location->sizeHint().height() +
                                   statusBar()->sizeHint().height());
    layout()->activate();
    VerticalSplitter->setSizes({kDesignUpperHeight, kDesignLowerHeight});
    UpperMainPanel->layout()->activate();
    LowerMainPanel->layout()->activate();
    UpperHorizSplitter->setSizes({kDesignTreeWidth, kDesignListWidth});
    LowerHorizSplitter->setSizes({kDesignMemoWidth, kDesignLowerLeftWidth});
}

} // namespace lmp::gui
