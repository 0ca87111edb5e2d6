// The View menu's selection commands on the real window: selecting all files of one edition while
// describing them, and adding each selected track design's image.
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "gui/main/MainForm.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

using lmp::gui::TMainForm;
using lmp::guitest::ClickItem;
using lmp::guitest::GameFolder;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

const QString kSeparator = QStringLiteral("-------------------------------");
const QString kVersionFailure = QStringLiteral("cannot determine file version!");

const lmp::testkit::TrackDesignFields kWoodenFields{
    .rideType = 0, .lengthMetres = 100, .excitement = 67, .intensity = 52, .nausea = 38};
const lmp::testkit::TrackDesignFields kRailroadFields{
    .rideType = 5, .lengthMetres = 1000, .excitement = 10, .intensity = 20, .nausea = 5};

QString Lines(const QStringList& lines)
{
    return lines.join(QLatin1Char('\n'));
}

QString WoodenBlock(const QString& name, const QString& version)
{
    return Lines({"File Name : " + name, "   Version: " + version, "      Type: Wooden Roller Coaster",
                  "Excitement: 6.70", " Intensity: 5.20", "    Nausea: 3.80",
                  "    Length: 328 ft, (100 meters)"});
}

QString RailroadBlock(const QString& name, const QString& version)
{
    return Lines({"File Name : " + name, "   Version: " + version, "      Type: Miniature Railroad",
                  "Excitement: 1.00", " Intensity: 2.00", "    Nausea: 0.50",
                  "    Length: 3,280 ft, (1,000 meters)"});
}

// The mixed folder's items in displayed order, after the folder Subfolder.TD4 at 0.
constexpr int kAlpha = 1; // first expansion
constexpr int kBeta = 2;  // original game
constexpr int kDelta = 3; // original game
constexpr int kEcho = 4;  // saved game whose edition cannot be told
constexpr int kGamma = 5; // second expansion
constexpr int kNotes = 6;
constexpr int kMixedItems = 7;

void AddMixedFiles(const GameFolder& folder)
{
    // A folder is no game file, whatever its name.
    folder.AddFolder("Subfolder.TD4");
    folder.AddTrackDesign("Alpha.TD4", kWoodenFields, 1);
    folder.AddTrackDesign("Beta.TD4", kRailroadFields, 0);
    folder.AddTrackDesign("Delta.TD4", kWoodenFields, 0);
    const lmp::testkit::Bytes unmatched = lmp::testkit::PackUnmatched(std::vector<std::uint8_t>(64, 7));
    folder.AddFile("Echo.SV4", QByteArray(reinterpret_cast<const char*>(unmatched.data()),
                                          static_cast<qsizetype>(unmatched.size())));
    folder.AddTrackDesign("Gamma.TD4", kRailroadFields, 2);
    folder.AddFile("notes.txt", "park ideas");
}

std::vector<int> SelectedItems(const lmp::gui::TShellListView& list)
{
    std::vector<int> items;
    for (int index = 0; index < list.ItemCount(); ++index) {
        if (list.Selected(index)) {
            items.push_back(index);
        }
    }
    return items;
}

} // namespace

class SelectionCommandsTest : public QObject, private lmp::guitest::WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void selectAllSelectsExactlyOneEditionAndDescribesIt_data();
    void selectAllSelectsExactlyOneEditionAndDescribesIt();
    void editionCodeOutsideTheThreeChangesNothing();
    void fileThatCannotBeReadEndsTheLoopAndRestoresTheWindow();
    void commandStartedFromInsideTheLoopTakesOver();
    void anotherFolderShownDuringTheLoopEndsIt();
    void refreshWhileTheLoopWaitsForASlowFileDropsItsFilesAndTheLoopQueuesThemAgain();
    void itemsSelectedByTheUserDuringTheLoopAreSetWhenTheLoopReachesThem();
    void matchingImagesJoinTheSelectionAndThePaneStays();
    void selectAllReachesItemsFarBeyondTheDescribedFlags();

private:
    void VerifyIdle() const;
};

void SelectionCommandsTest::initTestCase()
{
    QApplication::setApplicationDisplayName(QString::fromLatin1(lmp::gui::kApplicationTitle));
}

void SelectionCommandsTest::init()
{
    InitWindow();
}

void SelectionCommandsTest::cleanup()
{
    CleanupWindow();
}

// After a command: the pane listens to the list again and the busy cursor is gone.
void SelectionCommandsTest::VerifyIdle() const
{
    QVERIFY(!form_->SelectionBusy);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void SelectionCommandsTest::selectAllSelectsExactlyOneEditionAndDescribesIt_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<std::vector<int>>("selected");
    QTest::addColumn<QString>("pane");

    QTest::newRow("original game") << 0 << std::vector{kBeta, kDelta}
                                   << Lines({RailroadBlock("Beta.TD4", "Original LMP"), kSeparator,
                                             WoodenBlock("Delta.TD4", "Original LMP"), kVersionFailure});
    QTest::newRow("first expansion") << 1 << std::vector{kAlpha}
                                     << Lines({WoodenBlock("Alpha.TD4", "Vortex Jamboree/Extra Marvels"),
                                               kVersionFailure});
    QTest::newRow("second expansion, after files of the others and no separator")
        << 2 << std::vector{kGamma}
        << Lines({kVersionFailure, RailroadBlock("Gamma.TD4", "Quirky Quarters")});
}

void SelectionCommandsTest::selectAllSelectsExactlyOneEditionAndDescribesIt()
{
    QFETCH(int, edition);
    QFETCH(std::vector<int>, selected);
    QFETCH(QString, pane);
    AddMixedFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    ClickItem(*form.ShellListView1, kAlpha);
    ClickItem(*form.ShellListView1, kNotes, Qt::ControlModifier);

    QAction* const commands[] = {form.SelectAllOriginalLMPfiles1, form.SelectAllVJEMfiles1,
                                 form.SelectAllQQfiles1};
    commands[edition]->trigger();

    QCOMPARE(SelectedItems(*form.ShellListView1), selected);
    QCOMPARE(Pane(), pane);
    QVERIFY(form.ShellListView1->hasFocus());
    VerifyIdle();
}

void SelectionCommandsTest::editionCodeOutsideTheThreeChangesNothing()
{
    AddMixedFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    ClickItem(*form.ShellListView1, kBeta);
    const QString before = Pane();

    form.SelectAllOfEdition(3);

    QCOMPARE(SelectedItems(*form.ShellListView1), std::vector{kBeta});
    QCOMPARE(Pane(), before);
    VerifyIdle();
}

void SelectionCommandsTest::fileThatCannotBeReadEndsTheLoopAndRestoresTheWindow()
{
    AddMixedFiles(*folder_);
    folder_->AddTrackDesign(".charlie", kWoodenFields, 0);
    QVERIFY(QFile::link(folder_->PathOf(".charlie"), folder_->PathOf("Charlie.TD4")));
    TMainForm& form = OpenAt(*folder_, kMixedItems + 1);
    QVERIFY(QFile::remove(folder_->PathOf(".charlie")));

    form.SelectAllOriginalLMPfiles1->trigger();

    QCOMPARE(SelectedItems(*form.ShellListView1), std::vector{kBeta});
    QCOMPARE(Pane(), RailroadBlock("Beta.TD4", "Original LMP"));
    VerifyIdle();
    QTRY_COMPARE(boxes_->texts, QStringList{"Cannot open file " + folder_->PathOf("Charlie.TD4") +
                                            ": No such file or directory"});
    boxes_->texts.clear();
}

void SelectionCommandsTest::commandStartedFromInsideTheLoopTakesOver()
{
    AddMixedFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    QTimer::singleShot(0, &form, [&form] { form.SelectAllQQfiles1->trigger(); });

    form.SelectAllOriginalLMPfiles1->trigger();

    QCOMPARE(SelectedItems(*form.ShellListView1), std::vector{kGamma});
    QCOMPARE(Pane(), Lines({kVersionFailure, RailroadBlock("Gamma.TD4", "Quirky Quarters")}));
    VerifyIdle();
}

void SelectionCommandsTest::anotherFolderShownDuringTheLoopEndsIt()
{
    AddMixedFiles(*folder_);
    folder_->AddTrackDesign("Subfolder.TD4/Inner.TD4", kWoodenFields, 0);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    QTimer::singleShot(0, &form, [&] { form.ShellTreeView1->SetPath(folder_->PathOf("Subfolder.TD4")); });

    form.SelectAllOriginalLMPfiles1->trigger();

    QTRY_COMPARE(form.ShellListView1->ItemCount(), 1);
    QCOMPARE(SelectedItems(*form.ShellListView1), std::vector<int>{});
    QCOMPARE(Pane(), QString());
    VerifyIdle();
}

void SelectionCommandsTest::refreshWhileTheLoopWaitsForASlowFileDropsItsFilesAndTheLoopQueuesThemAgain()
{
    AddMixedFiles(*folder_);
    // Listed after Alpha, before Beta: the loop waits for it, and its events run the refresh then.
    QFile slow(folder_->PathOf("Alpine.SV4"));
    QVERIFY(slow.open(QIODevice::WriteOnly) && slow.resize(qint64{64} << 20));
    slow.close();
    TMainForm& form = OpenAt(*folder_, kMixedItems + 1);
    QTimer::singleShot(0, &form, [&form] { form.RefreshDescription->trigger(); });

    form.SelectAllOriginalLMPfiles1->trigger();

    QCOMPARE(SelectedItems(*form.ShellListView1), (std::vector{kBeta + 1, kDelta + 1}));
    QCOMPARE(Pane(), Lines({kVersionFailure, RailroadBlock("Beta.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("Delta.TD4", "Original LMP"), kVersionFailure}));
    VerifyIdle();
}

void SelectionCommandsTest::itemsSelectedByTheUserDuringTheLoopAreSetWhenTheLoopReachesThem()
{
    AddMixedFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    QTimer::singleShot(0, &form, [&form] {
        ClickItem(*form.ShellListView1, kEcho, Qt::ControlModifier);
        ClickItem(*form.ShellListView1, kNotes, Qt::ControlModifier);
    });

    form.SelectAllOriginalLMPfiles1->trigger();

    QCOMPARE(SelectedItems(*form.ShellListView1), (std::vector{kBeta, kDelta}));
    // The user's selection counts for the separator of the first description.
    QCOMPARE(Pane(), Lines({kSeparator, RailroadBlock("Beta.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("Delta.TD4", "Original LMP"), kVersionFailure}));
    VerifyIdle();
}

void SelectionCommandsTest::matchingImagesJoinTheSelectionAndThePaneStays()
{
    folder_->AddTrackDesign("Ride.td4", kWoodenFields, 0);
    folder_->AddFile("RIDE.TP4", "image");
    folder_->AddTrackDesign("Ship.TD4", kRailroadFields, 1);
    folder_->AddFile("Ship.TP4", "image");
    folder_->AddTrackDesign("Solo.TD4", kWoodenFields, 2);
    TMainForm& form = OpenAt(*folder_, 5);
    ClickItem(*form.ShellListView1, 0);
    ClickItem(*form.ShellListView1, 2, Qt::ControlModifier);
    ClickItem(*form.ShellListView1, 4, Qt::ControlModifier);
    const QString before = Pane();
    QSignalSpy changes(form.ShellListView1->selectionModel(), &QItemSelectionModel::selectionChanged);

    form.SelectMatchingTP4s->trigger();

    QCOMPARE(SelectedItems(*form.ShellListView1), (std::vector{0, 1, 2, 3, 4}));
    // The images join the selection at once: each change costs as much as the selection has ranges.
    QCOMPARE(changes.count(), 1);
    QCOMPARE(Pane(), before);
    QVERIFY(!form_->SelectionBusy);
}

void SelectionCommandsTest::selectAllReachesItemsFarBeyondTheDescribedFlags()
{
    constexpr int kItems = 20000;
    const std::vector<std::pair<int, int>> designs = {{5, 0},     {10000, 1}, {10001, 0},
                                                      {10002, 0}, {15000, 1}, {19999, 0}};
    std::vector<bool> isDesign(kItems, false);
    for (const auto& [index, edition] : designs) {
        folder_->AddTrackDesign(QStringLiteral("f%1.TD4").arg(index, 5, 10, QLatin1Char('0')), kWoodenFields,
                                edition);
        isDesign[static_cast<std::size_t>(index)] = true;
    }
    for (int index = 0; index < kItems; ++index) {
        if (!isDesign[static_cast<std::size_t>(index)]) {
            folder_->AddFile(QStringLiteral("f%1.txt").arg(index, 5, 10, QLatin1Char('0')), "x");
        }
    }
    TMainForm& form = OpenAt(*folder_, kItems, 120000);
    QCOMPARE(form.ShellListView1->ItemCount(), kItems);

    form.SelectAllOriginalLMPfiles1->trigger();

    QCOMPARE(SelectedItems(*form.ShellListView1), (std::vector{5, 10001, 10002, 19999}));
    QCOMPARE(Pane(), Lines({WoodenBlock("f00005.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("f10001.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("f10002.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("f19999.TD4", "Original LMP")}));
    VerifyIdle();
}

QTEST_MAIN(SelectionCommandsTest)
#include "SelectionCommandsTest.moc"
