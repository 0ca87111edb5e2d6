// The explorer window: start-up, layout and resizing, and the description pane, driven through its
// real widgets over folders built with testkit.
#include <filesystem>
#include <memory>
#include <system_error>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "GuiTestSupport.h"
#include "gui/about/AboutBox.h"
#include "gui/desktop/DescribingThreads.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/desktop/UserSettings.h"
#include "gui/filter/FilterDlg.h"
#include "gui/main/ContextMenus.h"
#include "gui/main/MainForm.h"
#include "gui/main/StartupArguments.h"
#include "gui/main/WindowSearch.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

using lmp::gui::NativePath;
using lmp::gui::PartNamed;
using lmp::gui::PathText;
using lmp::gui::TMainForm;
using lmp::gui::TShellListView;
using lmp::gui::TShellTreeView;
using lmp::guitest::ClickItem;
using lmp::guitest::GameFolder;
using lmp::guitest::Parts;

namespace {

const QString kSeparator = QStringLiteral("-------------------------------");
// The reason the system gives for a file that has gone, after "Cannot open file PATH".
const QString kNoSuchFile = QStringLiteral(": No such file or directory");

// The sample folder's items in displayed order: Subfolder, Alpha.TD4, Beta.TD4, Gamma.TD4, notes.txt.
constexpr int kSubfolder = 0;
constexpr int kAlpha = 1;
constexpr int kBeta = 2;
constexpr int kGamma = 3;
constexpr int kNotes = 4;
constexpr int kSampleItems = 5;

const lmp::testkit::TrackDesignFields kAlphaFields{
    .rideType = 0, .lengthMetres = 100, .excitement = 67, .intensity = 52, .nausea = 38};
const lmp::testkit::TrackDesignFields kBetaFields{
    .rideType = 5, .lengthMetres = 1000, .excitement = 10, .intensity = 20, .nausea = 5};
const lmp::testkit::TrackDesignFields kGammaFields{
    .rideType = 19, .lengthMetres = 250, .excitement = 72, .intensity = 68, .nausea = 45};

QString Lines(const QStringList& lines)
{
    return lines.join(QLatin1Char('\n'));
}

QString AlphaBlock(const QString& mark = QStringLiteral("."))
{
    return Lines({"File Name : Alpha.TD4", "   Version: Original LMP", "      Type: Wooden Roller Coaster",
                  "Excitement: 6" + mark + "70", " Intensity: 5" + mark + "20", "    Nausea: 3" + mark + "80",
                  "    Length: 328 ft, (100 meters)"});
}

const QString kBetaBlock = Lines({"File Name : Beta.TD4", "   Version: Vortex Jamboree/Extra Marvels",
                                  "      Type: Miniature Railroad", "Excitement: 1.00", " Intensity: 2.00",
                                  "    Nausea: 0.50", "    Length: 3,280 ft, (1,000 meters)"});
const QString kGammaBlock = Lines(
    {"File Name : Gamma.TD4", "   Version: Quirky Quarters", "      Type: Steel Corkscrew Roller Coaster",
     "Excitement: 7.20", " Intensity: 6.80", "    Nausea: 4.50", "    Length: 820 ft, (250 meters)"});

void AddSampleFiles(const GameFolder& folder)
{
    folder.AddFolder("Subfolder");
    folder.AddTrackDesign("Alpha.TD4", kAlphaFields, 0);
    folder.AddTrackDesign("Beta.TD4", kBetaFields, 1);
    folder.AddTrackDesign("Gamma.TD4", kGammaFields, 2);
    folder.AddFile("notes.txt", "park ideas");
}

QByteArray RecordWithPath(const QString& path)
{
    return "[General]\nPath=" + path.toUtf8() + "\n";
}

// Drags the splitter's handle by delta pixels with the left button, as the user does.
void DragSplitter(QSplitter& splitter, int delta)
{
    QWidget* handle = splitter.handle(1);
    const QPoint start = handle->rect().center();
    const QPoint end = start + (splitter.orientation() == Qt::Vertical ? QPoint(0, delta) : QPoint(delta, 0));
    QMouseEvent press(QEvent::MouseButtonPress, start, handle->mapToGlobal(start), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, end, handle->mapToGlobal(end), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, end, handle->mapToGlobal(end), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QApplication::sendEvent(handle, &move);
    QApplication::sendEvent(handle, &release);
}

} // namespace

// Ratios are compared as doubles: QCOMPARE of floats is fuzzy enough to hide a rounding.
class MainFormTest : public QObject, private lmp::guitest::WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpLeavesAFreshStateAndMeasuresTheDesignRatios();
    void windowOpensAtTheInstallFolderOfTheSetupRecord();
    void windowOpensAtTheCurrentDirectoryWithoutASetupRecord();
    void windowOpensAtTheCurrentDirectoryWhenTheRecordHasNoPath();
    void storedFolderThatNoLongerExistsShowsTheErrorBoxThenTheDesktop();
    void pathThatIsNotTextShowsTheErrorBoxThenTheDesktop();
    void commandLineAnswersHelpAndVersionOrGivesThePaths_data();
    void commandLineAnswersHelpAndVersionOrGivesThePaths();
    void pathsGivenOpenTheirFolderWithTheFilesSelectedAndDescribedInOrder_data();
    void pathsGivenOpenTheirFolderWithTheFilesSelectedAndDescribedInOrder();
    void windowOpensAtThePathsElseTheInstallFolderElseTheLastFolderElseTheCurrentOne_data();
    void windowOpensAtThePathsElseTheInstallFolderElseTheLastFolderElseTheCurrentOne();
    void nextWindowHasTheSizePlaceSplittersColumnsSortAndFolderTheUserLeft_data();
    void nextWindowHasTheSizePlaceSplittersColumnsSortAndFolderTheUserLeft();
    void rememberedGeometryThatCannotBeShownLeavesTheWindowCentredOnTheScreen_data();
    void rememberedGeometryThatCannotBeShownLeavesTheWindowCentredOnTheScreen();
    void settingsThatCannotBeWrittenAreSaidOnceAndTheWindowWorks();
    void threadsTheSystemRefusesAreSaidOnceAndThePaneStillDescribes();
    void commandsStartedWhileTheFolderIsListedCoverAllOfIt();

    void windowIsTitledAndKeepsItsMinimumSize();
    void menuHoldsTheCommandsWithTheirCaptions();
    void altXClosesTheWindow();
    void aboutShowsTheAboutBoxModally();
    void filterAppliesOnOkOnlyAndIsRememberedForTheUser();
    void locationBarHistoryAndUpMoveBetweenFolders();
    void statusBarCountsTheFolderAndGivesWayToNotes();
    void searchFiltersTheFolderOrTheTreeBelowAndEndsWithEscapeOrAnotherFolder();
    void contextCommandsCopyPathsDescriptionsAndFiles();

    void panelsStartAtTheirDesignSizes();
    void tabMovesFromTheUpperAreaToThePane();
    void panelsHaveTheirMinimumSizes_data();
    void panelsHaveTheirMinimumSizes();
    void resizingKeepsTheUpperAreaAndTreeInProportionAndThePaneWidth();
    void resizingInSmallStepsCarriesTheTruncationForward();
    void shrinkingStopsAtThePanelMinimumsAndRemeasures();
    void splitterMoveRemeasuresOnlyItsOwnRatio_data();
    void splitterMoveRemeasuresOnlyItsOwnRatio();
    void proportionOfAMovedSplitterIsKeptOnResize();

    void clickingOneItemDescribesItWithoutSeparator();
    void clicksSelectAndDescribeButRenameOnlyWhenAsked_data();
    void clicksSelectAndDescribeButRenameOnlyWhenAsked();
    void ctrlClickingAppendsEachItemAfterASeparator();
    void shiftClickingARangeAddsOnlyTheFocusedItem();
    void itemAlreadyDescribedIsNotDescribedAgain();
    void deselectingDownToOneItemClearsThePane();
    void notificationForAllItemsClearsThePaneWhenOneItemIsSelected();
    void notificationForAllItemsKeepsThePaneWhenSeveralAreSelected();
    void itemsThatAreNoGameFilesAddNoLines();
    void refreshDescriptionWithNothingSelectedEmptiesThePane();
    void refreshDescriptionRebuildsFromTheSelectionInListOrder();
    void refreshDirectoryReadsTheFolderAgainAndRebuildsThePane();
    void refreshDirectoryOnAFolderGoneShowsTheNearestOneLeft();
    void choosingAnotherFolderInTheTreeEmptiesThePane();
    void openingAFolderInTheListEmptiesThePaneAndMovesTheTree();
    void fileThatCannotBeReadShowsTheErrorBoxAndIsTriedAgainLater();
    void refreshDescriptionStopsAtAFileThatCannotBeRead();
    void paneAfterClicksAroundASlowFileKeepsClickOrderAndDropsOnReset_data();
    void paneAfterClicksAroundASlowFileKeepsClickOrderAndDropsOnReset();
    void itemsBeyondTheFlagsAreDescribedOnce();
    void decimalMarkIsReadAgainWhenTheRegionChanges();
    void describeFileWritesOnlyAcceptedEditions_data();
    void describeFileWritesOnlyAcceptedEditions();

private:
    int ClientHeight() const { return Parts(*form_).VerticalSplitter->height(); }
    void ResizeClient(int width, int height);

    QString startDirectory_;
};

void MainFormTest::initTestCase()
{
    QApplication::setApplicationDisplayName(QString::fromLatin1(lmp::gui::kApplicationTitle));
    startDirectory_ = QDir::currentPath();
}

void MainFormTest::init()
{
    InitWindow();
}

void MainFormTest::cleanup()
{
    CleanupWindow();
    QDir::setCurrent(startDirectory_);
    QLocale::setDefault(QLocale::system());
}

void MainFormTest::commandLineAnswersHelpAndVersionOrGivesThePaths_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitStatus"); // -1: the window opens
    QTest::addColumn<QString>("output"); // the output's start, or the paths joined by "|"

    QTest::newRow("no argument") << QStringList{} << -1 << "";
    QTest::newRow("paths in order") << QStringList{"b.TD4", "a dir", "-"} << -1 << "b.TD4|a dir|-";
    QTest::newRow("path after --") << QStringList{"--", "--version"} << -1 << "--version";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "lmpexplorer " LMP_VERSION "\n";
    QTest::newRow("help") << QStringList{"-h", "x.TD4"} << 0 << "Usage: lmpexplorer [options] [PATH...]";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "lmpexplorer: Unknown option 'bogus'.";
    QTest::newRow("qt options with their values")
        << QStringList{"-style", "fusion", "-platform", "xcb", "a.TD4", "-reverse", "-stylesheet=dark.qss"}
        << -1 << "a.TD4";
    QTest::newRow("qt options with two dashes")
        << QStringList{"--style=fusion", "--qwindowgeometry", "640x480", "b"} << -1 << "b";
    QTest::newRow("qt option without its value")
        << QStringList{"-style"} << 2 << "lmpexplorer: Missing value after '-style'.";
}

void MainFormTest::commandLineAnswersHelpAndVersionOrGivesThePaths()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitStatus);
    QFETCH(QString, output);
    const lmp::gui::StartupCommand command =
        lmp::gui::ParseStartupArguments(QStringList{QStringLiteral("lmpexplorer")} + arguments);
    QCOMPARE(command.exit ? command.exitStatus : -1, exitStatus);
    const QString actual = command.exit ? command.output : command.paths.join('|');
    QVERIFY2(output.isEmpty() ? actual.isEmpty() : actual.startsWith(output), qPrintable(actual));
}

void MainFormTest::pathsGivenOpenTheirFolderWithTheFilesSelectedAndDescribedInOrder_data()
{
    QTest::addColumn<QStringList>("paths"); // relative to the sample folder; "." is the folder itself
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("pane");
    QTest::addColumn<QString>("box"); // "%1" stands for the sample folder

    const QString separator = QString::fromLatin1(lmp::kSeparatorLine.data(), lmp::kSeparatorLine.size());
    QTest::newRow("files in the order given")
        << QStringList{"Gamma.TD4", "Alpha.TD4"} << QStringList{"Alpha.TD4", "Gamma.TD4"}
        << Lines({kGammaBlock, separator, AlphaBlock()}) << "";
    QTest::newRow("a file that describes nothing still takes its turn")
        << QStringList{"notes.txt", "Beta.TD4"} << QStringList{"Beta.TD4", "notes.txt"}
        << Lines({separator, kBetaBlock}) << "";
    QTest::newRow("a folder") << QStringList{"."} << QStringList{} << ""
                              << "";
    QTest::newRow("a path that names nothing")
        << QStringList{"Missing.TD4", "Beta.TD4"} << QStringList{"Beta.TD4"} << kBetaBlock
        << "No such file or folder: %1/Missing.TD4";
    QTest::newRow("a path of control characters that names nothing")
        << QStringList{"Missing\n\x1B[2J.TD4", "Beta.TD4"} << QStringList{"Beta.TD4"} << kBetaBlock
        << "No such file or folder: %1/Missing\uFFFD\uFFFD[2J.TD4";
    QTest::newRow("a folder elsewhere") << QStringList{"Alpha.TD4", "Subfolder"} << QStringList{"Alpha.TD4"}
                                        << AlphaBlock() << "Not shown, as the window shows %1:\n%1/Subfolder";
}

void MainFormTest::pathsGivenOpenTheirFolderWithTheFilesSelectedAndDescribedInOrder()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, selected);
    QFETCH(QString, pane);
    QFETCH(QString, box);
    AddSampleFiles(*folder_);
    // A setup record naming another folder: paths given replace the start-up choice.
    settings_->WriteSetupRecord(RecordWithPath(QDir::tempPath()));
    QStringList arguments;
    for (const QString& path : paths) {
        arguments << QDir::cleanPath(folder_->PathOf(path));
    }
    form_ = std::make_unique<lmp::gui::TMainForm>(arguments);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));

    QCOMPARE(Parts(*form_).ShellTreeView1->Path(), QDir::cleanPath(folder_->Path()));
    QTRY_COMPARE(Parts(*form_).ShellListView1->ItemCount(), kSampleItems);
    QTRY_COMPARE(Parts(*form_).ShellListView1->SelectionCount(), selected.size());
    QStringList selectedNames;
    for (int index = 0; index < kSampleItems; ++index) {
        if (Parts(*form_).ShellListView1->Selected(index)) {
            selectedNames << Parts(*form_).ShellListView1->Caption(index);
        }
    }
    QCOMPARE(selectedNames, selected);
    QCOMPARE(Pane(), pane);
    lmp::guitest::ProcessPendingEvents();
    QCOMPARE(boxes_->texts,
             box.isEmpty() ? QStringList() : QStringList{box.arg(QDir::cleanPath(folder_->Path()))});
    boxes_->texts.clear();
}

void MainFormTest::windowOpensAtThePathsElseTheInstallFolderElseTheLastFolderElseTheCurrentOne_data()
{
    QTest::addColumn<bool>("pathGiven");
    QTest::addColumn<QString>("record"); // "folder", "no path" or none
    QTest::addColumn<QString>("last");   // "folder", "deleted", "file" or none
    QTest::addColumn<QString>("opened"); // "path", "install", "last" or "current"
    QTest::newRow("the path given before all") << true << "folder"
                                               << "folder"
                                               << "path";
    QTest::newRow("the install folder before the last folder") << false << "folder"
                                                               << "folder"
                                                               << "install";
    QTest::newRow("the last folder without a setup record") << false << ""
                                                            << "folder"
                                                            << "last";
    QTest::newRow("the last folder when the record has no path") << false << "no path"
                                                                 << "folder"
                                                                 << "last";
    QTest::newRow("a last folder deleted, or on a disk gone") << false << ""
                                                              << "deleted"
                                                              << "current";
    QTest::newRow("a last folder that is a file now") << false << ""
                                                      << "file"
                                                      << "current";
}

void MainFormTest::windowOpensAtThePathsElseTheInstallFolderElseTheLastFolderElseTheCurrentOne()
{
    QFETCH(bool, pathGiven);
    QFETCH(QString, record);
    QFETCH(QString, last);
    QFETCH(QString, opened);
    const GameFolder install;
    const GameFolder lastFolder;
    const GameFolder current;
    QDir::setCurrent(current.Path());
    if (record == "folder") {
        settings_->WriteSetupRecord(RecordWithPath(install.Path()));
    } else if (record == "no path") {
        settings_->WriteSetupRecord("[General]\nVersion=1.0\n");
    }
    lmp::gui::WindowChoices choices;
    if (last == "folder") {
        choices.lastFolder = lmp::gui::NativePath(lastFolder.Path());
    } else if (last == "deleted") {
        choices.lastFolder = lmp::gui::NativePath(lastFolder.PathOf("gone"));
    } else if (last == "file") {
        lastFolder.AddFile("was a folder", "");
        choices.lastFolder = lmp::gui::NativePath(lastFolder.PathOf("was a folder"));
    }
    lmp::gui::WriteWindowChoices(choices);

    form_ = std::make_unique<TMainForm>(pathGiven ? QStringList{folder_->Path()} : QStringList());
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));

    const QHash<QString, QString> folders = {{"path", folder_->Path()},
                                             {"install", install.Path()},
                                             {"last", lastFolder.Path()},
                                             {"current", current.Path()}};
    QCOMPARE(Parts(*form_).ShellTreeView1->Path(), folders.value(opened));
    QCOMPARE(Parts(*form_).ShellListView1->Folder(), folders.value(opened));
}

void MainFormTest::nextWindowHasTheSizePlaceSplittersColumnsSortAndFolderTheUserLeft_data()
{
    QTest::addColumn<bool>("maximised");
    QTest::newRow("placed and sized") << false;
    QTest::newRow("maximised") << true;
}

void MainFormTest::nextWindowHasTheSizePlaceSplittersColumnsSortAndFolderTheUserLeft()
{
    QFETCH(bool, maximised);
    AddSampleFiles(*folder_);
    TMainForm& form = OpenWindow();
    form.setGeometry(QRect(30, 40, 700, 520));
    if (maximised) {
        form.showMaximized();
        QTRY_VERIFY(form.isMaximized() && form.width() > 700);
    }
    Parts(form).VerticalSplitter->setSizes({200, 300});
    Parts(form).UpperHorizSplitter->setSizes({150, 550});
    Parts(form).LowerHorizSplitter->setSizes({400, 300});
    QHeaderView& header = *Parts(form).ShellListView1->header();
    header.resizeSection(lmp::gui::FileListModel::NameColumn, 260);
    header.moveSection(header.visualIndex(lmp::gui::FileListModel::TypeColumn), 0);
    Parts(form).ShellListView1->SortBy(lmp::gui::FileListModel::SizeColumn, Qt::DescendingOrder);
    Parts(form).ShellTreeView1->SetPath(folder_->PathOf("Subfolder"));
    const QRect geometry = form.geometry();
    const QList<QSplitter*> splitters = {Parts(form).VerticalSplitter, Parts(form).UpperHorizSplitter,
                                         Parts(form).LowerHorizSplitter};
    QList<int> firstSizes;
    for (const QSplitter* splitter : splitters) {
        firstSizes << splitter->sizes().front();
    }
    QVERIFY(form.close());
    form_.reset();

    TMainForm& next = OpenWindow();

    QTRY_COMPARE(next.geometry(), geometry);
    QCOMPARE(next.isMaximized(), maximised);
    // Laid out at the normal size first, a maximised window's splitters may come out two pixels apart.
    const QList<QSplitter*> nextSplitters = {Parts(next).VerticalSplitter, Parts(next).UpperHorizSplitter,
                                             Parts(next).LowerHorizSplitter};
    for (qsizetype splitter = 0; splitter < nextSplitters.size(); ++splitter) {
        const int size = nextSplitters[splitter]->sizes().front();
        QVERIFY2(qAbs(size - firstSizes[splitter]) <= (maximised ? 2 : 0),
                 qPrintable(QString("%1: %2, not %3").arg(splitter).arg(size).arg(firstSizes[splitter])));
    }
    QCOMPARE(double(Parts(next).SizeRatios[0]), double(float(Parts(next).UpperMainPanel->height()) /
                                                       float(Parts(next).VerticalSplitter->height())));
    const QHeaderView& nextHeader = *Parts(next).ShellListView1->header();
    QCOMPARE(nextHeader.logicalIndex(0), int(lmp::gui::FileListModel::TypeColumn));
    QCOMPARE(nextHeader.logicalIndex(1), int(lmp::gui::FileListModel::NameColumn));
    QCOMPARE(nextHeader.sectionSize(lmp::gui::FileListModel::NameColumn), 260);
    QCOMPARE(nextHeader.sortIndicatorSection(), int(lmp::gui::FileListModel::SizeColumn));
    QCOMPARE(nextHeader.sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(Parts(next).ShellTreeView1->Path(), folder_->PathOf("Subfolder"));
}

void MainFormTest::rememberedGeometryThatCannotBeShownLeavesTheWindowCentredOnTheScreen_data()
{
    QTest::addColumn<QPoint>("place"); // where a window was when its geometry was taken
    QTest::addColumn<bool>("garbled"); // the setting holds bytes that are no geometry
    QTest::newRow("off every screen") << QPoint(20000, 15000) << false;
    QTest::newRow("no geometry") << QPoint() << true;
}

void MainFormTest::rememberedGeometryThatCannotBeShownLeavesTheWindowCentredOnTheScreen()
{
    QFETCH(QPoint, place);
    QFETCH(bool, garbled);
    lmp::gui::WindowChoices choices;
    if (garbled) {
        choices.geometry = "\x01\xd9\xd0\xcb garbled";
    } else {
        QWidget away;
        away.setGeometry(QRect(place, QSize(640, 480)));
        choices.geometry = away.saveGeometry();
        choices.frame = away.frameGeometry();
    }
    choices.splitters[0] = {5, 400};
    lmp::gui::WriteWindowChoices(choices);

    TMainForm& form = OpenWindow();

    const QRect screen = form.screen()->availableGeometry();
    QVERIFY2(screen.contains(form.geometry()), qPrintable(QString("%1,%2").arg(form.x()).arg(form.y())));
    QVERIFY(qAbs(form.geometry().center().x() - screen.center().x()) < 20);
    if (garbled) {
        QCOMPARE(Parts(form).UpperMainPanel->height(), 260);
    }
}

void MainFormTest::settingsThatCannotBeWrittenAreSaidOnceAndTheWindowWorks()
{
    // The user's settings folder would go where a file is.
    folder_->AddFile("not a folder", "");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_->PathOf("not a folder"));
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems + 1);

    QTRY_VERIFY(form.statusBar()->currentMessage().contains("cannot be written"));
    form.statusBar()->clearMessage();
    Parts(form).GameDetails1->trigger();
    Parts(form).GameDetails1->trigger();
    Parts(form).GameDetails1->trigger();
    lmp::guitest::ProcessPendingEvents();

    QCOMPARE(form.statusBar()->currentMessage(), QString());
    QCOMPARE(Parts(form).ShellListView1->model()->columnCount(),
             int(lmp::gui::FileListModel::OwnColumns) + 9);
    QVERIFY(form.close());
}

void MainFormTest::threadsTheSystemRefusesAreSaidOnceAndThePaneStillDescribes()
{
    lmp::gui::DescribingThreads& threads = lmp::gui::DescribingThreads::Instance();
    threads.SetStarter([](const std::function<void(std::stop_token)>&) -> std::jthread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    const auto restore = qScopeGuard([&threads] { threads.SetStarter(nullptr); });
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);

    QTRY_VERIFY(form.statusBar()->currentMessage().startsWith(
        "Describing on the calling thread alone: the system would start none of the "));
    form.statusBar()->clearMessage();
    // The columns' pipeline, refused as well, is not said again.
    Parts(form).GameDetails1->trigger();
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    QCOMPARE(Pane(), AlphaBlock());
    lmp::guitest::ProcessPendingEvents();
    QCOMPARE(form.statusBar()->currentMessage(), QString());
    QVERIFY(form.close());
}

void MainFormTest::commandsStartedWhileTheFolderIsListedCoverAllOfIt()
{
    AddSampleFiles(*folder_);
    settings_->WriteSetupRecord(RecordWithPath(QDir::tempPath()));
    lmp::guitest::SlowFolder slow(folder_->Path(), 2);
    form_ =
        std::make_unique<TMainForm>(QStringList{folder_->PathOf("Gamma.TD4"), folder_->PathOf("Alpha.TD4")});
    form_->show();
    const lmp::gui::TShellListView& list = *Parts(*form_).ShellListView1;
    QTRY_COMPARE(list.ItemCount(), 2);
    QCOMPARE(slow.Waiting(), 1);
    QVERIFY(list.Listing());
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(list.SelectionCount(), 0);

    Parts(*form_).RefreshDescription->trigger();
    QVERIFY(form_->DescribingPending());
    slow.Release();

    // The start-up files are selected once every item is in, then the refresh describes them in list order.
    QCOMPARE(Pane(), Lines({AlphaBlock(), kSeparator, kGammaBlock}));
    QCOMPARE(list.ItemCount(), kSampleItems);
    QVERIFY(list.Selected(kAlpha) && list.Selected(kGamma));
    QCOMPARE(list.SelectionCount(), 2);
    QTRY_COMPARE(QApplication::overrideCursor(), nullptr);
}

void MainFormTest::ResizeClient(int width, int height)
{
    // The menu bar, the toolbar and the status bar keep their heights.
    form_->resize(width, height + form_->height() - Parts(*form_).VerticalSplitter->height());
    QCOMPARE(Parts(*form_).VerticalSplitter->size(), QSize(width, height));
}

void MainFormTest::startUpLeavesAFreshStateAndMeasuresTheDesignRatios()
{
    form_ = std::make_unique<TMainForm>();

    QCOMPARE(lmp::gui::MainForm, form_.get());
    QVERIFY(Parts(*form_).DescribedItems.empty());
    QVERIFY(!Parts(*form_).SelectionBusy);
    QCOMPARE(Pane(), QString());
    QCOMPARE(double(Parts(*form_).SizeRatios[0]), double(0.623501181602478f));
    QCOMPARE(double(Parts(*form_).SizeRatios[1]), double(0.3512605130672455f));
    QCOMPARE(double(Parts(*form_).SizeRatios[2]), double(0.43361344933509827f));

    form_.reset();
    QCOMPARE(lmp::gui::MainForm, nullptr);
}

void MainFormTest::windowOpensAtTheInstallFolderOfTheSetupRecord()
{
    AddSampleFiles(*folder_);
    const GameFolder elsewhere;
    QDir::setCurrent(elsewhere.Path());

    TMainForm& form = OpenAt(*folder_, kSampleItems);

    QCOMPARE(Parts(form).ShellTreeView1->Path(), folder_->Path());
    QCOMPARE(Parts(form).ShellListView1->Folder(), folder_->Path());
}

void MainFormTest::windowOpensAtTheCurrentDirectoryWithoutASetupRecord()
{
    AddSampleFiles(*folder_);
    QDir::setCurrent(folder_->Path());

    TMainForm& form = OpenWindow();

    QCOMPARE(Parts(form).ShellTreeView1->Path(), folder_->Path());
    QTRY_COMPARE(Parts(form).ShellListView1->ItemCount(), kSampleItems);
}

void MainFormTest::windowOpensAtTheCurrentDirectoryWhenTheRecordHasNoPath()
{
    settings_->WriteSetupRecord("[General]\nVersion=1.0\n");
    QDir::setCurrent(folder_->Path());

    TMainForm& form = OpenWindow();

    QCOMPARE(Parts(form).ShellTreeView1->Path(), folder_->Path());
}

void MainFormTest::storedFolderThatNoLongerExistsShowsTheErrorBoxThenTheDesktop()
{
    const QString gone = folder_->PathOf("Lumora Parks");
    settings_->WriteSetupRecord(RecordWithPath(gone));
    QDir::setCurrent(folder_->Path());

    TMainForm& form = OpenWindow();

    QTRY_COMPARE(boxes_->texts, QStringList{"Error setting path: \"" + gone + "\""});
    QCOMPARE(boxes_->titles, QStringList{"LMPexplorer"});
    boxes_->texts.clear();
    QCOMPARE(Parts(form).ShellTreeView1->Path(), QString());
    QCOMPARE(Parts(form).ShellTreeView1->currentIndex().data().toString(), QStringLiteral("Desktop"));
    QCOMPARE(Parts(form).ShellListView1->Folder(), QString());
    QVERIFY(form.isVisible());
}

void MainFormTest::pathThatIsNotTextShowsTheErrorBoxThenTheDesktop()
{
    settings_->WriteSetupRecord("[General]\nPath=@ByteArray(/games)\n");
    QDir::setCurrent(folder_->Path());

    TMainForm& form = OpenWindow();

    QTRY_COMPARE(boxes_->texts, QStringList{"Invalid data type for 'Path'"});
    boxes_->texts.clear();
    QCOMPARE(Parts(form).ShellTreeView1->Path(), QString());
}

void MainFormTest::windowIsTitledAndKeepsItsMinimumSize()
{
    TMainForm& form = OpenWindow();
    QCOMPARE(form.windowTitle(), QStringLiteral("LMPexplorer"));
    QCOMPARE(form.minimumSize(), QSize(292, 273));
    form.resize(10, 10);
    QCOMPARE(form.size(), QSize(292, 273));
}

void MainFormTest::menuHoldsTheCommandsWithTheirCaptions()
{
    TMainForm& form = OpenWindow();
    QStringList menus;
    for (const QAction* menu : Parts(form).MainMenu->actions()) {
        menus << menu->text();
    }
    QCOMPARE(menus, (QStringList{"&File", "&View", "&Help"}));

    const auto captions = [](const QMenu* menu) {
        QStringList texts;
        for (const QAction* item : menu->actions()) {
            // As shown: a mnemonic only underlines its letter.
            texts << (item->isSeparator() ? QStringLiteral("|") : QString(item->text()).remove('&'));
        }
        return texts;
    };
    QCOMPARE(captions(Parts(form).FileMenu), QStringList{"Exit"});
    QCOMPARE(captions(Parts(form).View1),
             (QStringList{"Refresh Description", "Refresh Directory", "|", "Select All Original LMP files",
                          "Select All VJ/EM files", "Select All QQ files", "|", "Select Matching TP4's", "|",
                          "Game Details", "Filter...", "|", "Search...", "|", "Keep Descriptions on Disk",
                          "Clear Descriptions Kept on Disk"}));
    QCOMPARE(captions(Parts(form).Help1), QStringList{"About..."});
    QCOMPARE(Parts(form).RefreshDirectory->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(Parts(form).ExitItem->shortcut(), QKeySequence(QStringLiteral("Alt+X")));
    QCOMPARE(Parts(form).ExitItem->statusTip(), QStringLiteral("Exit application"));
}

void MainFormTest::filterAppliesOnOkOnlyAndIsRememberedForTheUser()
{
    folder_->AddFolder("Sub");
    folder_->AddFile("a.TD4", "");
    folder_->AddFile("b.SV4", "");
    folder_->AddFile("c.txt", "");
    // Opens the dialog from the menu, unticks a box (none: nullptr) and closes it with OK or Cancel;
    // returns whether the saved games' box was ticked when it opened.
    const auto filter = [this](QCheckBox* lmp::gui::TFilterDlg::*untick, bool ok) {
        bool savedGames = false;
        QTimer::singleShot(0, [&] {
            lmp::gui::TFilterDlg& dialog = *lmp::gui::FilterDlg;
            QVERIFY(dialog.FilterCusCheckBox->isEnabled() && dialog.FilterCustomEdit->isEnabled());
            savedGames = dialog.FilterSV4CheckBox->isChecked();
            if (untick != nullptr) {
                (dialog.*untick)->setChecked(false);
            }
            QTest::mouseClick(ok ? dialog.OKBtn : dialog.CancelBtn, Qt::LeftButton);
        });
        Parts(*form_).Filter1->trigger();
        return savedGames;
    };
    TMainForm& form = OpenAt(*folder_, 4);
    auto dialog = std::make_unique<lmp::gui::TFilterDlg>(&form);
    // The dialog's first ticks (track files and saved games) filter nothing until OK.
    QVERIFY(filter(&lmp::gui::TFilterDlg::FilterTD4CheckBox, false));
    QCOMPARE(Parts(form).ShellListView1->ItemCount(), 4);
    filter(&lmp::gui::TFilterDlg::FilterSV4CheckBox, true);
    QTRY_COMPARE(lmp::guitest::ItemNames(*Parts(form).ShellListView1), (QStringList{"Sub", "a.TD4"}));
    dialog.reset();
    form_.reset();

    // The next window lists as the user chose, and its dialog shows that choice.
    TMainForm& next = OpenAt(*folder_, 2);
    dialog = std::make_unique<lmp::gui::TFilterDlg>(&next);
    QVERIFY(!filter(nullptr, false));
    QCOMPARE(lmp::guitest::ItemNames(*Parts(next).ShellListView1), (QStringList{"Sub", "a.TD4"}));
}

void MainFormTest::altXClosesTheWindow()
{
    TMainForm& form = OpenWindow();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_X, Qt::AltModifier);
    QVERIFY(!form.isVisible());
}

void MainFormTest::aboutShowsTheAboutBoxModally()
{
    TMainForm& form = OpenWindow();
    lmp::gui::TAboutBox about(&form);
    QCOMPARE(lmp::gui::AboutBox, &about);
    QWidget* shownModally = nullptr;
    QTimer::singleShot(0, &about, [&] {
        shownModally = QApplication::activeModalWidget();
        about.accept();
    });

    Parts(form).About1->trigger();

    QCOMPARE(shownModally, &about);
    QVERIFY(!about.isVisible());
}

void MainFormTest::locationBarHistoryAndUpMoveBetweenFolders()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    TShellTreeView& tree = *Parts(form).ShellTreeView1;
    TShellListView& list = *Parts(form).ShellListView1;
    auto& edit = PartNamed<QLineEdit>(form, "LocationEdit");
    auto& problem = PartNamed<QLabel>(form, "LocationProblem");
    const auto enter = [&](const QString& text) {
        edit.setText(text);
        QTest::keyClick(&edit, Qt::Key_Return);
    };
    QCOMPARE(edit.text(), QDir::toNativeSeparators(folder_->Path()));
    QTest::keyClick(&form, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(edit.hasFocus());
    QCOMPARE(edit.selectedText(), edit.text());

    enter(folder_->PathOf("Subfolder") + "/");
    QCOMPARE(tree.Path(), folder_->PathOf("Subfolder"));
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Backspace);
    QCOMPARE(tree.Path(), folder_->Path());
    PartNamed<QAction>(form, "BackAction").trigger();
    QCOMPARE(tree.Path(), folder_->PathOf("Subfolder"));
    QTest::keyClick(&form, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(tree.Path(), folder_->Path());
    QVERIFY(!PartNamed<QAction>(form, "ForwardAction").isEnabled());

    // No box for a path that names nothing: the bar says so, and the folder stays.
    enter(folder_->PathOf("Nowhere"));
    QCOMPARE(problem.text(), QStringLiteral("Error setting path: \"%1\"").arg(folder_->PathOf("Nowhere")));
    QCOMPARE(tree.Path(), folder_->Path());
    // A file's path opens its folder with the file selected.
    enter(folder_->PathOf("Subfolder"));
    enter(folder_->PathOf("Beta.TD4"));
    QCOMPARE(problem.text(), QString());
    QTRY_VERIFY(list.Folder() == folder_->Path() && list.Selected(kBeta));

    // A folder whose name is not UTF-8 shows with U+FFFD, and its text unchanged opens it still.
    const std::filesystem::path odd = NativePath(folder_->Path()) / "Caf\xe9";
    std::filesystem::create_directory(odd);
    tree.SetPath(PathText(odd));
    QCOMPARE(edit.text(), QDir::toNativeSeparators(folder_->Path() + "/Caf" + QChar(0xFFFD)));
    Parts(form).RefreshDirectory->trigger();
    enter(edit.text());
    QCOMPARE(problem.text(), QString());
    QCOMPARE(NativePath(tree.Path()), odd);
}

void MainFormTest::statusBarCountsTheFolderAndGivesWayToNotes()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    const auto& counts = PartNamed<QLabel>(form, "StatusCounts");
    const auto size = [&](const QStringList& names) {
        qint64 bytes = 0;
        for (const QString& name : names) {
            bytes += QFileInfo(folder_->PathOf(name)).size();
        }
        return QLocale::system().formattedDataSize(bytes);
    };
    QTRY_COMPARE(counts.text(), "5 items (1 folders), 0 selected, " +
                                    size({"Alpha.TD4", "Beta.TD4", "Gamma.TD4", "notes.txt"}));
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    ClickItem(*Parts(form).ShellListView1, kGamma, Qt::ControlModifier);
    QTRY_COMPARE(counts.text(), "5 items (1 folders), 2 selected, " + size({"Alpha.TD4", "Gamma.TD4"}));

    form.ShowNote(QStringLiteral("3 files copied"));
    QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("3 files copied"));
    QVERIFY(!counts.isVisible());
    form.statusBar()->clearMessage();
    QVERIFY(counts.isVisible());
}

void MainFormTest::searchFiltersTheFolderOrTheTreeBelowAndEndsWithEscapeOrAnotherFolder()
{
    AddSampleFiles(*folder_);
    folder_->AddTrackDesign("Subfolder/Alpha.TD4", kAlphaFields, 0);
    folder_->AddFile("Subfolder/alpha.tp4", QByteArray(512, 'x'));
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    TShellListView& list = *Parts(form).ShellListView1;
    auto& bar = PartNamed<lmp::gui::SearchBar>(form, "SearchBar1");
    const auto found = [&] {
        QStringList rows;
        for (int row = 0; row < list.ItemCount(); ++row) {
            const QString folder =
                list.model()->index(row, lmp::gui::FileListModel::FolderColumn).data().toString();
            rows << QDir(folder_->Path()).relativeFilePath(QDir::fromNativeSeparators(folder)) + "/" +
                        list.model()->index(row, 0).data().toString();
        }
        rows.sort();
        return rows;
    };
    const auto search = [&](const QString& text) {
        bar.Field().setText(text);
        QTest::keyClick(&bar.Field(), Qt::Key_Return);
    };

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar.isVisible());
    QVERIFY(bar.Field().hasFocus());
    search(QStringLiteral("alpha"));
    QTRY_COMPARE(found(), QStringList{"./Alpha.TD4"});
    QVERIFY(list.header()->isSectionHidden(lmp::gui::FileListModel::FolderColumn));
    QTRY_COMPARE(PartNamed<QLabel>(form, "StatusWork").text(),
                 QStringLiteral("1 matches of 4 files examined"));

    bar.Subfolders().setChecked(true);
    QTRY_COMPARE(found(), (QStringList{"./Alpha.TD4", "Subfolder/Alpha.TD4", "Subfolder/alpha.tp4"}));
    QVERIFY(!list.header()->isSectionHidden(lmp::gui::FileListModel::FolderColumn));

    // A design's image comes from its own folder, put in the list when the search left it out.
    search(QStringLiteral("type:td4 excitement>0"));
    QTRY_COMPARE(found(), (QStringList{"./Alpha.TD4", "./Beta.TD4", "./Gamma.TD4", "Subfolder/Alpha.TD4"}));
    list.selectAll();
    Parts(form).SelectMatchingTP4s->trigger();
    QTRY_COMPARE(found().size(), 5);
    QVERIFY(list.Selected(static_cast<int>(lmp::guitest::ItemNames(list).indexOf("alpha.tp4"))));

    // A query that cannot be read says why and leaves the list as it was.
    search(QStringLiteral("exitement>1"));
    QCOMPARE(bar.Problem(), QStringLiteral("unknown field 'exitement' (did you mean 'excitement'?)"));
    QCOMPARE(found().size(), 5);

    QTest::keyClick(&bar.Field(), Qt::Key_Escape);
    QVERIFY(!bar.isVisible());
    QTRY_COMPARE(lmp::guitest::ItemNames(list).size(), kSampleItems);
    QVERIFY(!list.Files().ShowsFound());

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    search(QStringLiteral("alpha"));
    QTRY_VERIFY(list.Files().ShowsFound());
    Parts(form).ShellTreeView1->SetPath(folder_->PathOf("Subfolder"));
    QTRY_COMPARE(lmp::guitest::ItemNames(list), (QStringList{"Alpha.TD4", "alpha.tp4"}));
    QVERIFY(!list.Files().ShowsFound());
    QVERIFY(bar.Field().text().isEmpty());
}

void MainFormTest::contextCommandsCopyPathsDescriptionsAndFiles()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    TShellListView& list = *Parts(form).ShellListView1;
    ClickItem(list, kGamma);
    ClickItem(list, kAlpha, Qt::ControlModifier);
    ClickItem(list, 0, Qt::ControlModifier);
    auto& commands = *list.findChild<lmp::gui::ContextMenus*>();

    commands.CopyDescription();
    QCOMPARE(QApplication::clipboard()->text(), Lines({AlphaBlock(), kSeparator, kGammaBlock}) + "\n");
    commands.CopyPaths();
    QCOMPARE(QApplication::clipboard()->text(),
             QDir::toNativeSeparators(Lines({folder_->PathOf("Subfolder"), folder_->PathOf("Alpha.TD4"),
                                             folder_->PathOf("Gamma.TD4")})));
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->mimeData()->urls(),
             (QList<QUrl>{QUrl::fromLocalFile(folder_->PathOf("Subfolder")),
                          QUrl::fromLocalFile(folder_->PathOf("Alpha.TD4")),
                          QUrl::fromLocalFile(folder_->PathOf("Gamma.TD4"))}));
}

void MainFormTest::panelsStartAtTheirDesignSizes()
{
    TMainForm& form = OpenWindow();
    QCOMPARE(Parts(form).VerticalSplitter->size(), QSize(595, 417));
    QCOMPARE(Parts(form).UpperMainPanel->height(), 260);
    QCOMPARE(Parts(form).LowerMainPanel->height(), 152);
    QCOMPARE(Parts(form).UpperLeftPanel->width(), 209);
    QCOMPARE(Parts(form).UpperRightPanel->width(), 381);
    QCOMPARE(Parts(form).Memo1->width(), 329);
    QCOMPARE(Parts(form).LowerLeftPanel->width(), 258);
    QCOMPARE(Parts(form).VerticalSplitter->orientation(), Qt::Vertical);
    QCOMPARE(Parts(form).VerticalSplitter->handleWidth(), 5);
    QCOMPARE(Parts(form).UpperHorizSplitter->handleWidth(), 5);
    QCOMPARE(Parts(form).LowerHorizSplitter->handleWidth(), 8);
    QCOMPARE(Parts(form).ShellTreeView1->parentWidget(), Parts(form).UpperLeftPanel);
    QCOMPARE(Parts(form).ShellListView1->parentWidget(), Parts(form).UpperRightPanel);
    QCOMPARE(Parts(form).LowerLeftPanel->frameShadow(), QFrame::Sunken);
}

void MainFormTest::tabMovesFromTheUpperAreaToThePane()
{
    TMainForm& form = OpenWindow();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    Parts(form).ShellTreeView1->setFocus();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Parts(form).ShellListView1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Parts(form).Memo1);
}

void MainFormTest::panelsHaveTheirMinimumSizes_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QSize>("minimum");
    QTest::newRow("UpperMainPanel") << "UpperMainPanel" << QSize(100, 40);
    QTest::newRow("LowerMainPanel") << "LowerMainPanel" << QSize(100, 50);
    QTest::newRow("UpperLeftPanel") << "UpperLeftPanel" << QSize(40, 30);
    QTest::newRow("UpperRightPanel") << "UpperRightPanel" << QSize(40, 30);
    QTest::newRow("Memo1") << "Memo1" << QSize(40, 30);
    QTest::newRow("LowerLeftPanel") << "LowerLeftPanel" << QSize(30, 30);
}

void MainFormTest::panelsHaveTheirMinimumSizes()
{
    QFETCH(QString, panel);
    QFETCH(QSize, minimum);
    form_ = std::make_unique<TMainForm>();
    const std::map<QString, QWidget*> panels{{"UpperMainPanel", Parts(*form_).UpperMainPanel},
                                             {"LowerMainPanel", Parts(*form_).LowerMainPanel},
                                             {"UpperLeftPanel", Parts(*form_).UpperLeftPanel},
                                             {"UpperRightPanel", Parts(*form_).UpperRightPanel},
                                             {"Memo1", Parts(*form_).Memo1},
                                             {"LowerLeftPanel", Parts(*form_).LowerLeftPanel}};
    QCOMPARE(panels.at(panel)->minimumSize(), minimum);
}

void MainFormTest::resizingKeepsTheUpperAreaAndTreeInProportionAndThePaneWidth()
{
    TMainForm& form = OpenWindow();
    ResizeClient(695, 517);

    QCOMPARE(Parts(form).UpperMainPanel->height(), 322);
    QCOMPARE(Parts(form).UpperLeftPanel->width(), 244);
    QCOMPARE(Parts(form).UpperRightPanel->width(), 446);
    QCOMPARE(Parts(form).Memo1->width(), 329);
    QCOMPARE(Parts(form).LowerLeftPanel->width(), 358);
    QCOMPARE(double(Parts(*form_).SizeRatios[0]), double(0.6228240132331848f));
    QCOMPARE(double(Parts(*form_).SizeRatios[1]), double(0.35107913613319397f));
    QCOMPARE(double(Parts(*form_).SizeRatios[2]), double(0.5151079297065735f));
}

void MainFormTest::resizingInSmallStepsCarriesTheTruncationForward()
{
    TMainForm& form = OpenWindow();
    for (int height = 418; height <= 427; ++height) {
        ResizeClient(595, height);
    }
    QCOMPARE(Parts(form).UpperMainPanel->height(), 260);
    QCOMPARE(double(Parts(*form_).SizeRatios[0]), double(0.6088992953300476f));

    form_.reset();
    TMainForm& fresh = OpenWindow();
    ResizeClient(595, 427);
    QCOMPARE(Parts(fresh).UpperMainPanel->height(), 266);
}

void MainFormTest::shrinkingStopsAtThePanelMinimumsAndRemeasures()
{
    TMainForm& form = OpenWindow();
    DragSplitter(*Parts(form).VerticalSplitter, 200);
    QCOMPARE(Parts(form).UpperMainPanel->height(), 362);
    QCOMPARE(double(Parts(*form_).SizeRatios[0]), double(0.8681055307388306f));

    // 300 × 0.868 would leave the lower area 35 pixels, below its 50.
    ResizeClient(595, 300);
    QCOMPARE(Parts(form).UpperMainPanel->height(), 245);
    QCOMPARE(Parts(form).LowerMainPanel->height(), 50);
    QCOMPARE(double(Parts(*form_).SizeRatios[0]), double(0.8166666626930237f));

    ResizeClient(595, 417);
    QCOMPARE(Parts(form).UpperMainPanel->height(), 340);
}

void MainFormTest::splitterMoveRemeasuresOnlyItsOwnRatio_data()
{
    QTest::addColumn<QString>("splitter");
    QTest::addColumn<int>("delta");
    QTest::addColumn<float>("upper");
    QTest::addColumn<float>("tree");
    QTest::addColumn<float>("lowerLeft");

    QTest::newRow("vertical, upper area to 300")
        << "VerticalSplitter" << 40 << 0.7194244861602783f << 0.3512605130672455f << 0.43361344933509827f;
    QTest::newRow("upper horizontal, tree to 239")
        << "UpperHorizSplitter" << 30 << 0.623501181602478f << 0.40168067812919617f << 0.43361344933509827f;
    QTest::newRow("lower horizontal, pane to 300")
        << "LowerHorizSplitter" << -29 << 0.623501181602478f << 0.3512605130672455f << 0.48235294222831726f;
}

void MainFormTest::splitterMoveRemeasuresOnlyItsOwnRatio()
{
    QFETCH(QString, splitter);
    QFETCH(int, delta);
    QFETCH(float, upper);
    QFETCH(float, tree);
    QFETCH(float, lowerLeft);

    TMainForm& form = OpenWindow();
    const std::map<QString, QSplitter*> splitters{{"VerticalSplitter", Parts(form).VerticalSplitter},
                                                  {"UpperHorizSplitter", Parts(form).UpperHorizSplitter},
                                                  {"LowerHorizSplitter", Parts(form).LowerHorizSplitter}};
    DragSplitter(*splitters.at(splitter), delta);

    QCOMPARE(double(Parts(*form_).SizeRatios[0]), double(upper));
    QCOMPARE(double(Parts(*form_).SizeRatios[1]), double(tree));
    QCOMPARE(double(Parts(*form_).SizeRatios[2]), double(lowerLeft));
}

void MainFormTest::proportionOfAMovedSplitterIsKeptOnResize()
{
    TMainForm& form = OpenWindow();
    DragSplitter(*Parts(form).VerticalSplitter, 40);
    DragSplitter(*Parts(form).LowerHorizSplitter, -29);
    ResizeClient(595, 517);
    QCOMPARE(Parts(form).UpperMainPanel->height(), 371);
    QCOMPARE(Parts(form).Memo1->width(), 300);
}

void MainFormTest::clickingOneItemDescribesItWithoutSeparator()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);

    ClickItem(*Parts(form).ShellListView1, kAlpha);

    QCOMPARE(Pane(), AlphaBlock());
    QCOMPARE(Parts(form).Memo1->document()->blockCount(), 7);

    ClickItem(*Parts(form).ShellListView1, kGamma);
    QCOMPARE(Pane(), kGammaBlock);
}

void MainFormTest::clicksSelectAndDescribeButRenameOnlyWhenAsked_data()
{
    QTest::addColumn<QStringList>(
        "actions"); // "c2" click, "C2" Ctrl-click, "S2" Shift-click item 2; "A" Ctrl+A
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("pane");
    QTest::addColumn<QString>("editing"); // the editor's selected text; empty: no editor, none to come

    QTest::newRow("a click on one of two selected")
        << QStringList{"c1", "C3", "c1"} << QList<int>{kAlpha} << AlphaBlock() << "";
    QTest::newRow("a click on a selected item after select all")
        << QStringList{"c1", "A", "c2"} << QList<int>{kBeta} << kBetaBlock << "";
    QTest::newRow("a click inside a Shift-click range")
        << QStringList{"c3", "S1", "c2"} << QList<int>{kBeta} << kBetaBlock << "";
    QTest::newRow("a Ctrl-click on a selected item deselects it")
        << QStringList{"c1", "C3", "C3"} << QList<int>{kAlpha} << ""
        << "";
    QTest::newRow("a click on a folder among the selected describes nothing")
        << QStringList{"c1", "C0", "c0"} << QList<int>{kSubfolder} << ""
        << "";
    QTest::newRow("a second click on the only selected item")
        << QStringList{"c1", "c1"} << QList<int>{kAlpha} << AlphaBlock() << "Alpha";
    QTest::newRow("a second click on a folder") << QStringList{"c0", "c0"} << QList<int>{kSubfolder} << ""
                                                << "Subfolder";
    QTest::newRow("F2") << QStringList{"c2", "F2"} << QList<int>{kBeta} << kBetaBlock << "Beta";
    QTest::newRow("F2, then Escape") << QStringList{"c2", "F2", "Esc"} << QList<int>{kBeta} << kBetaBlock
                                     << "";
}

void MainFormTest::clicksSelectAndDescribeButRenameOnlyWhenAsked()
{
    QFETCH(QStringList, actions);
    QFETCH(QList<int>, selected);
    QFETCH(QString, pane);
    QFETCH(QString, editing);
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    lmp::gui::TShellListView& list = *Parts(form).ShellListView1;
    const QStringList names = lmp::guitest::ItemNames(list);

    for (const QString& action : actions) {
        const int item = action.mid(1).toInt();
        if (action == "A") {
            QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
        } else if (action == "F2") {
            QTest::keyClick(&list, Qt::Key_F2);
        } else if (action == "Esc") {
            QTRY_VERIFY(list.findChild<QLineEdit*>() != nullptr);
            QTest::keyClick(list.findChild<QLineEdit*>(), Qt::Key_Escape);
        } else {
            const Qt::KeyboardModifiers modifiers = action.startsWith('C')   ? Qt::ControlModifier
                                                    : action.startsWith('S') ? Qt::ShiftModifier
                                                                             : Qt::NoModifier;
            ClickItem(list, item, modifiers);
        }
    }

    QList<int> selectedNow;
    for (int index = 0; index < list.ItemCount(); ++index) {
        if (list.Selected(index)) {
            selectedNow << index;
        }
    }
    QCOMPARE(selectedNow, selected);
    QCOMPARE(Pane(), pane);
    if (editing.isEmpty()) {
        QVERIFY(!list.RenamePending());
        QTRY_VERIFY(list.findChild<QLineEdit*>() == nullptr || !list.findChild<QLineEdit*>()->isVisible());
    } else {
        QTRY_VERIFY(list.findChild<QLineEdit*>() != nullptr);
        QTRY_COMPARE(list.findChild<QLineEdit*>()->selectedText(), editing);
        QTest::keyClick(list.findChild<QLineEdit*>(), Qt::Key_Escape);
    }
    lmp::guitest::ProcessPendingEvents();
    QCOMPARE(lmp::guitest::ItemNames(list), names);
}

void MainFormTest::ctrlClickingAppendsEachItemAfterASeparator()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);

    ClickItem(*Parts(form).ShellListView1, kAlpha);
    ClickItem(*Parts(form).ShellListView1, kBeta, Qt::ControlModifier);
    ClickItem(*Parts(form).ShellListView1, kGamma, Qt::ControlModifier);

    QCOMPARE(Pane(), Lines({AlphaBlock(), kSeparator, kBetaBlock, kSeparator, kGammaBlock}));
    QCOMPARE(Parts(form).ShellListView1->SelectionCount(), 3);
}

void MainFormTest::shiftClickingARangeAddsOnlyTheFocusedItem()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);

    ClickItem(*Parts(form).ShellListView1, kGamma);
    ClickItem(*Parts(form).ShellListView1, kAlpha, Qt::ShiftModifier);

    QCOMPARE(Pane(), Lines({kGammaBlock, kSeparator, AlphaBlock()}));
    QCOMPARE(Parts(form).ShellListView1->SelectionCount(), 3);

    Parts(form).RefreshDescription->trigger();
    QCOMPARE(Pane(), Lines({AlphaBlock(), kSeparator, kBetaBlock, kSeparator, kGammaBlock}));
}

void MainFormTest::itemAlreadyDescribedIsNotDescribedAgain()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    ClickItem(*Parts(form).ShellListView1, kBeta, Qt::ControlModifier);

    // The focus goes back to Alpha while both stay selected.
    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_Up, Qt::ControlModifier);

    QVERIFY(Parts(form).ShellListView1->Focused(kAlpha));
    QCOMPARE(Parts(form).ShellListView1->SelectionCount(), 2);
    QCOMPARE(Pane(), Lines({AlphaBlock(), kSeparator, kBetaBlock}));
}

void MainFormTest::deselectingDownToOneItemClearsThePane()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    ClickItem(*Parts(form).ShellListView1, kBeta, Qt::ControlModifier);

    ClickItem(*Parts(form).ShellListView1, kBeta, Qt::ControlModifier);

    QCOMPARE(Parts(form).ShellListView1->SelectionCount(), 1);
    QVERIFY(Parts(form).ShellListView1->Selected(kAlpha));
    QCOMPARE(Pane(), QString());

    Parts(form).RefreshDescription->trigger();
    QCOMPARE(Pane(), AlphaBlock());
}

void MainFormTest::notificationForAllItemsClearsThePaneWhenOneItemIsSelected()
{
    folder_->AddTrackDesign("Alpha.TD4", kAlphaFields, 0);
    TMainForm& form = OpenAt(*folder_, 1);
    ClickItem(*Parts(form).ShellListView1, 0);
    QCOMPARE(Pane(), AlphaBlock());

    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_A, Qt::ControlModifier);

    QCOMPARE(Parts(form).ShellListView1->SelectionCount(), 1);
    QCOMPARE(Pane(), QString());
}

void MainFormTest::notificationForAllItemsKeepsThePaneWhenSeveralAreSelected()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kAlpha);

    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_A, Qt::ControlModifier);

    QCOMPARE(Parts(form).ShellListView1->SelectionCount(), kSampleItems);
    QCOMPARE(Pane(), AlphaBlock());
}

void MainFormTest::itemsThatAreNoGameFilesAddNoLines()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);

    ClickItem(*Parts(form).ShellListView1, kNotes);
    QCOMPARE(Pane(), QString());
    ClickItem(*Parts(form).ShellListView1, kSubfolder, Qt::ControlModifier);
    QCOMPARE(Pane(), QString());
    ClickItem(*Parts(form).ShellListView1, kAlpha, Qt::ControlModifier);

    QCOMPARE(Pane(), Lines({kSeparator, AlphaBlock()}));
}

void MainFormTest::refreshDescriptionWithNothingSelectedEmptiesThePane()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    Parts(form).Memo1->setPlainText(QStringLiteral("typed by the user"));

    Parts(form).RefreshDescription->trigger();

    QCOMPARE(Pane(), QString());
}

void MainFormTest::refreshDescriptionRebuildsFromTheSelectionInListOrder()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kGamma);
    ClickItem(*Parts(form).ShellListView1, kAlpha, Qt::ControlModifier);
    QCOMPARE(Pane(), Lines({kGammaBlock, kSeparator, AlphaBlock()}));

    Parts(form).RefreshDescription->trigger();

    QCOMPARE(Pane(), Lines({AlphaBlock(), kSeparator, kGammaBlock}));
    // The marks stay: focus coming back to Gamma adds nothing.
    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_Down, Qt::ControlModifier);
    QVERIFY(Parts(form).ShellListView1->Focused(kGamma));
    QCOMPARE(Pane(), Lines({AlphaBlock(), kSeparator, kGammaBlock}));
}

void MainFormTest::refreshDirectoryReadsTheFolderAgainAndRebuildsThePane()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    folder_->AddTrackDesign("Delta.TD4", kBetaFields, 1);

    Parts(form).RefreshDirectory->trigger();

    QTRY_COMPARE(Parts(form).ShellListView1->ItemCount(), kSampleItems + 1);
    QCOMPARE(lmp::guitest::ItemNames(*Parts(form).ShellListView1),
             (QStringList{"Subfolder", "Alpha.TD4", "Beta.TD4", "Delta.TD4", "Gamma.TD4", "notes.txt"}));
    QCOMPARE(Parts(form).ShellListView1->SelectionCount(), 0);
    QCOMPARE(Pane(), QString());
    QCOMPARE(Parts(form).ShellTreeView1->Path(), folder_->Path());
}

void MainFormTest::refreshDirectoryOnAFolderGoneShowsTheNearestOneLeft()
{
    AddSampleFiles(*folder_);
    folder_->AddFolder("Parks/Saved");
    TMainForm& form = OpenAt(*folder_, kSampleItems + 1);
    Parts(form).ShellTreeView1->SetPath(folder_->PathOf("Parks/Saved"));
    QVERIFY(QDir(folder_->PathOf("Parks")).removeRecursively());

    Parts(form).RefreshDirectory->trigger();

    QCOMPARE(Parts(form).ShellTreeView1->Path(), folder_->Path());
    QCOMPARE(Parts(form).ShellListView1->Folder(), folder_->Path());
    QTRY_COMPARE(Parts(form).ShellListView1->ItemCount(), kSampleItems);
}

void MainFormTest::choosingAnotherFolderInTheTreeEmptiesThePane()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    QCOMPARE(Pane(), AlphaBlock());

    lmp::gui::TShellTreeView& tree = *Parts(form).ShellTreeView1;
    tree.expand(tree.currentIndex());
    QTRY_COMPARE(tree.model()->rowCount(tree.currentIndex()), 1);
    const QModelIndex subfolder = tree.model()->index(0, 0, tree.currentIndex());
    tree.scrollTo(subfolder);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier, tree.visualRect(subfolder).center());

    QCOMPARE(tree.Path(), folder_->PathOf("Subfolder"));
    QCOMPARE(Parts(form).ShellListView1->Folder(), folder_->PathOf("Subfolder"));
    QCOMPARE(Pane(), QString());
}

void MainFormTest::openingAFolderInTheListEmptiesThePaneAndMovesTheTree()
{
    AddSampleFiles(*folder_);
    folder_->AddTrackDesign("Subfolder/Inner.TD4", kAlphaFields, 0);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kAlpha);

    lmp::guitest::DoubleClickItem(*Parts(form).ShellListView1, kSubfolder);

    QCOMPARE(Parts(form).ShellTreeView1->Path(), folder_->PathOf("Subfolder"));
    QCOMPARE(Pane(), QString());
    QTRY_COMPARE(Parts(form).ShellListView1->ItemCount(), 1);
    ClickItem(*Parts(form).ShellListView1, 0);
    QCOMPARE(Pane(), AlphaBlock().replace("Alpha", "Inner"));
}

void MainFormTest::fileThatCannotBeReadShowsTheErrorBoxAndIsTriedAgainLater()
{
    folder_->AddTrackDesign("Alpha.TD4", kAlphaFields, 0);
    folder_->AddTrackDesign(".beta", kBetaFields, 1);
    QVERIFY(QFile::link(folder_->PathOf(".beta"), folder_->PathOf("Beta.TD4")));
    folder_->AddTrackDesign("Gamma.TD4", kGammaFields, 2);
    TMainForm& form = OpenAt(*folder_, 3);
    ClickItem(*Parts(form).ShellListView1, 0);
    QVERIFY(QFile::rename(folder_->PathOf(".beta"), folder_->PathOf(".beta-away")));

    ClickItem(*Parts(form).ShellListView1, 1, Qt::ControlModifier);

    QTRY_COMPARE(boxes_->texts, QStringList{"Cannot open file " + folder_->PathOf("Beta.TD4") + kNoSuchFile});
    QCOMPARE(boxes_->titles, QStringList{"LMPexplorer"});
    boxes_->texts.clear();
    QCOMPARE(Pane(), AlphaBlock());

    // Readable again: the next notification for the item describes it.
    QVERIFY(QFile::rename(folder_->PathOf(".beta-away"), folder_->PathOf(".beta")));
    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(Pane(), Lines({AlphaBlock(), kSeparator, kBetaBlock}));
}

void MainFormTest::refreshDescriptionStopsAtAFileThatCannotBeRead()
{
    folder_->AddTrackDesign("Alpha.TD4", kAlphaFields, 0);
    folder_->AddTrackDesign(".beta", kBetaFields, 1);
    QVERIFY(QFile::link(folder_->PathOf(".beta"), folder_->PathOf("Beta.TD4")));
    folder_->AddTrackDesign("Gamma.TD4", kGammaFields, 2);
    TMainForm& form = OpenAt(*folder_, 3);
    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(QFile::remove(folder_->PathOf(".beta")));

    Parts(form).RefreshDescription->trigger();

    QTRY_COMPARE(boxes_->texts, QStringList{"Cannot open file " + folder_->PathOf("Beta.TD4") + kNoSuchFile});
    boxes_->texts.clear();
    QCOMPARE(Pane(), AlphaBlock());
}

void MainFormTest::paneAfterClicksAroundASlowFileKeepsClickOrderAndDropsOnReset_data()
{
    QTest::addColumn<QString>("actions"); // n: click item n, ^n: Ctrl-click, +n: Shift-click, R: Refresh
                                          // Description, u/d: Ctrl+Up/Down, w: wait for the pane
    QTest::addColumn<QString>("pane");    // A, B, G: the blocks, V: the version failure, -: separator
    QTest::addColumn<QStringList>("boxes");

    // Items: 0 Alpha.TD4, 1 Beta.TD4, 2 Big.SV4 (slow, its edition unknown), 3 Broken.TD4, 4 Gamma.TD4.
    QTest::newRow("results keep the click order") << "0 ^2 ^1"
                                                  << "A V - B" << QStringList();
    QTest::newRow("a plain click drops the slow file") << "2 4"
                                                       << "G" << QStringList();
    QTest::newRow("Ctrl-click down to one item drops it") << "0 ^2 ^0"
                                                          << "" << QStringList();
    QTest::newRow("Shift-click range: only the focused item") << "2 +4"
                                                              << "V - G" << QStringList();
    QTest::newRow("pending items count as described") << "0 ^2 u d"
                                                      << "A V" << QStringList();
    QTest::newRow("Refresh Description drops what was pending") << "4 ^2 ^0 R"
                                                                << "A V - G" << QStringList();
    QTest::newRow("a failed file drops the later clicks, which are tried again")
        << "0 ^2 ^3 ^1 w u d"
        << "A V - B" << QStringList{"Broken.TD4"};
}

void MainFormTest::paneAfterClicksAroundASlowFileKeepsClickOrderAndDropsOnReset()
{
    QFETCH(QString, actions);
    QFETCH(QString, pane);
    QFETCH(QStringList, boxes);
    folder_->AddTrackDesign("Alpha.TD4", kAlphaFields, 0);
    folder_->AddTrackDesign("Beta.TD4", kBetaFields, 1);
    folder_->AddTrackDesign("Gamma.TD4", kGammaFields, 2);
    QFile big(folder_->PathOf("Big.SV4"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64{256} << 20));
    big.close();
    folder_->AddTrackDesign(".broken", kAlphaFields, 0);
    QVERIFY(QFile::link(folder_->PathOf(".broken"), folder_->PathOf("Broken.TD4")));
    TMainForm& form = OpenAt(*folder_, 5);
    QVERIFY(QFile::remove(folder_->PathOf(".broken")));
    lmp::gui::TShellListView& list = *Parts(form).ShellListView1;

    for (const QString& action : actions.split(' ')) {
        const QChar kind = action.front();
        if (kind == 'R') {
            Parts(form).RefreshDescription->trigger();
        } else if (kind == 'u' || kind == 'd') {
            QTest::keyClick(&list, kind == 'u' ? Qt::Key_Up : Qt::Key_Down, Qt::ControlModifier);
        } else if (kind == 'w') {
            Pane();
        } else {
            const Qt::KeyboardModifiers modifiers = kind == '^'   ? Qt::ControlModifier
                                                    : kind == '+' ? Qt::ShiftModifier
                                                                  : Qt::NoModifier;
            ClickItem(list, action.right(1).toInt(), modifiers);
        }
    }

    const QHash<QString, QString> blocks{{"A", AlphaBlock()},
                                         {"B", kBetaBlock},
                                         {"G", kGammaBlock},
                                         {"V", "cannot determine file version!"},
                                         {"-", kSeparator}};
    QStringList expected;
    for (const QString& block : pane.split(' ', Qt::SkipEmptyParts)) {
        expected << blocks.value(block);
    }
    QCOMPARE(Pane(), Lines(expected));
    lmp::guitest::ProcessPendingEvents();
    QStringList expectedBoxes;
    for (const QString& name : boxes) {
        expectedBoxes << "Cannot open file " + folder_->PathOf(name) + kNoSuchFile;
    }
    QCOMPARE(boxes_->texts, expectedBoxes);
    boxes_->texts.clear();
}

void MainFormTest::itemsBeyondTheFlagsAreDescribedOnce()
{
    // Index 10001: a fixed table of 10001 flags, one per item, would end just before it.
    constexpr int kFillers = 10001;
    for (int i = 0; i < kFillers; ++i) {
        folder_->AddFile(QStringLiteral("filler %1.txt").arg(i), "");
    }
    folder_->AddTrackDesign("zz Alpha.TD4", kAlphaFields, 0);
    TMainForm& form = OpenAt(*folder_, kFillers + 1, 120000);
    const int beyond = kFillers; // index 10001, just past the last flag
    QCOMPARE(QFileInfo(Parts(form).ShellListView1->ItemPath(beyond)).fileName(),
             QStringLiteral("zz Alpha.TD4"));

    ClickItem(*Parts(form).ShellListView1, 0);
    ClickItem(*Parts(form).ShellListView1, beyond, Qt::ControlModifier);
    const QString described = Lines({kSeparator, AlphaBlock().replace("Alpha.TD4", "zz Alpha.TD4")});
    QCOMPARE(Pane(), described);

    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(Parts(form).ShellListView1, Qt::Key_Down, Qt::ControlModifier);
    QVERIFY(Parts(form).ShellListView1->Focused(beyond));
    QCOMPARE(Pane(), described);
}

void MainFormTest::decimalMarkIsReadAgainWhenTheRegionChanges()
{
    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    QCOMPARE(Pane(), AlphaBlock());

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(qApp, &change);
    Parts(form).RefreshDescription->trigger();

    QCOMPARE(Pane(), AlphaBlock(QStringLiteral(",")));
}

void MainFormTest::describeFileWritesOnlyAcceptedEditions_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("original");
    QTest::addColumn<bool>("first");
    QTest::addColumn<bool>("second");
    QTest::addColumn<bool>("separator");
    QTest::addColumn<QString>("pane");

    QTest::newRow("original, accepted") << kAlpha << true << false << false << false << AlphaBlock();
    QTest::newRow("first expansion, not accepted") << kBeta << true << false << true << false << QString();
    QTest::newRow("first expansion, with separator")
        << kBeta << false << true << false << true << Lines({kSeparator, kBetaBlock});
    QTest::newRow("second expansion, not accepted") << kGamma << true << true << false << true << QString();
    QTest::newRow("no game file") << kNotes << true << true << true << false << QString();
}

void MainFormTest::describeFileWritesOnlyAcceptedEditions()
{
    QFETCH(int, item);
    QFETCH(bool, original);
    QFETCH(bool, first);
    QFETCH(bool, second);
    QFETCH(bool, separator);
    QFETCH(QString, pane);

    AddSampleFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kSampleItems);

    form.DescribeFile(item, original, first, second, separator);
    QCOMPARE(Pane(), pane);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, form.DescribeFile(kSampleItems, true, true, true, false));
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
