// The View menu's selection commands on the real window: selecting all files of one edition while
// describing them, and adding each selected track design's image.
#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/main/MainForm.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

using lmp::gui::TMainForm;
using lmp::guitest::ClickItem;
using lmp::guitest::GameFolder;
using lmp::guitest::Parts;

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

// A first-expansion design with the wooden fields, as the pane shows it.
QString ExpansionBlock(const QString& name)
{
    return WoodenBlock(name, "Vortex Jamboree/Extra Marvels");
}

// Designs D000.TD4 ... of the first expansion, each followed by its image D000.TP4 ...
void AddDesignsWithImages(const GameFolder& folder, int designs)
{
    for (int design = 0; design < designs; ++design) {
        const QString stem = QStringLiteral("D%1").arg(design, 3, 10, QLatin1Char('0'));
        folder.AddTrackDesign(stem + ".TD4", kWoodenFields, 1);
        folder.AddFile(stem + ".TP4", "image");
    }
}

// What "Select All VJ/EM files" writes for these designs when nothing else is selected.
QString ExpansionPane(const QStringList& names)
{
    QStringList blocks;
    for (const QString& name : names) {
        blocks << ExpansionBlock(name);
    }
    return blocks.join('\n' + kSeparator + '\n');
}

// A socket file at path, left behind when the descriptor is closed.
bool MakeSocket(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (static_cast<std::size_t>(bytes.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), address.sun_path);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        socket >= 0 && ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (socket >= 0) {
        ::close(socket);
    }
    return bound;
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
    void selectAllGivenWhileTheFolderIsListedWaitsForIt_data();
    void selectAllGivenWhileTheFolderIsListedWaitsForIt();
    void selectAllEndsAtTheFirstEntryThatCannotBeRead_data();
    void selectAllEndsAtTheFirstEntryThatCannotBeRead();
    void filesComingAndGoingDuringSelectAllLeaveNoStaleLine();
    void selectionChangedEveryMillisecondDuringSelectAllDescribesEachFileOnce();
    void paneCopiesItsLinesAsTheyAre();

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
    QVERIFY(!Parts(*form_).SelectionBusy);
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
    ClickItem(*Parts(form).ShellListView1, kAlpha);
    ClickItem(*Parts(form).ShellListView1, kNotes, Qt::ControlModifier);

    QAction* const commands[] = {Parts(form).SelectAllOriginalLMPfiles1, Parts(form).SelectAllVJEMfiles1,
                                 Parts(form).SelectAllQQfiles1};
    commands[edition]->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), selected);
    QCOMPARE(Pane(), pane);
    QVERIFY(Parts(form).ShellListView1->hasFocus());
    VerifyIdle();
}

void SelectionCommandsTest::editionCodeOutsideTheThreeChangesNothing()
{
    AddMixedFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    ClickItem(*Parts(form).ShellListView1, kBeta);
    const QString before = Pane();

    form.SelectAllOfEdition(3);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), std::vector{kBeta});
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

    Parts(form).SelectAllOriginalLMPfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), std::vector{kBeta});
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
    QTimer::singleShot(0, &form, [&form] { Parts(form).SelectAllQQfiles1->trigger(); });

    Parts(form).SelectAllOriginalLMPfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), std::vector{kGamma});
    QCOMPARE(Pane(), Lines({kVersionFailure, RailroadBlock("Gamma.TD4", "Quirky Quarters")}));
    VerifyIdle();
}

void SelectionCommandsTest::anotherFolderShownDuringTheLoopEndsIt()
{
    AddMixedFiles(*folder_);
    folder_->AddTrackDesign("Subfolder.TD4/Inner.TD4", kWoodenFields, 0);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    QTimer::singleShot(0, &form,
                       [&] { Parts(form).ShellTreeView1->SetPath(folder_->PathOf("Subfolder.TD4")); });

    Parts(form).SelectAllOriginalLMPfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QTRY_COMPARE(Parts(form).ShellListView1->ItemCount(), 1);
    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), std::vector<int>{});
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
    QTimer::singleShot(0, &form, [&form] { Parts(form).RefreshDescription->trigger(); });

    Parts(form).SelectAllOriginalLMPfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), (std::vector{kBeta + 1, kDelta + 1}));
    QCOMPARE(Pane(), Lines({kVersionFailure, RailroadBlock("Beta.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("Delta.TD4", "Original LMP"), kVersionFailure}));
    VerifyIdle();
}

void SelectionCommandsTest::itemsSelectedByTheUserDuringTheLoopAreSetWhenTheLoopReachesThem()
{
    AddMixedFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    QTimer::singleShot(0, &form, [&form] {
        ClickItem(*Parts(form).ShellListView1, kEcho, Qt::ControlModifier);
        ClickItem(*Parts(form).ShellListView1, kNotes, Qt::ControlModifier);
    });

    Parts(form).SelectAllOriginalLMPfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), (std::vector{kBeta, kDelta}));
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
    ClickItem(*Parts(form).ShellListView1, 0);
    ClickItem(*Parts(form).ShellListView1, 2, Qt::ControlModifier);
    ClickItem(*Parts(form).ShellListView1, 4, Qt::ControlModifier);
    const QString before = Pane();
    QSignalSpy changes(Parts(form).ShellListView1->selectionModel(), &QItemSelectionModel::selectionChanged);

    Parts(form).SelectMatchingTP4s->trigger();

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), (std::vector{0, 1, 2, 3, 4}));
    // The images join the selection at once: each change costs as much as the selection has ranges.
    QCOMPARE(changes.count(), 1);
    QCOMPARE(Pane(), before);
    QVERIFY(!Parts(*form_).SelectionBusy);
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
    QCOMPARE(Parts(form).ShellListView1->ItemCount(), kItems);

    Parts(form).SelectAllOriginalLMPfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), (std::vector{5, 10001, 10002, 19999}));
    QCOMPARE(Pane(), Lines({WoodenBlock("f00005.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("f10001.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("f10002.TD4", "Original LMP"), kSeparator,
                            WoodenBlock("f19999.TD4", "Original LMP")}));
    VerifyIdle();
}

void SelectionCommandsTest::selectAllGivenWhileTheFolderIsListedWaitsForIt_data()
{
    QTest::addColumn<bool>("anotherFolder"); // shown before the listing has ended
    QTest::newRow("the whole folder is covered") << false;
    QTest::newRow("another folder ends the command") << true;
}

void SelectionCommandsTest::selectAllGivenWhileTheFolderIsListedWaitsForIt()
{
    QFETCH(bool, anotherFolder);
    AddMixedFiles(*folder_);
    TMainForm& form = OpenAt(*folder_, kMixedItems);
    Parts(form).ShellTreeView1->SetPath(folder_->PathOf("Subfolder.TD4"));
    Parts(form).ShellTreeView1->SetPath(folder_->Path());
    QVERIFY(Parts(form).ShellListView1->Listing());

    Parts(form).SelectAllVJEMfiles1->trigger();
    QVERIFY(Parts(form).SelectionBusy);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    if (anotherFolder) {
        Parts(form).ShellTreeView1->SetPath(folder_->PathOf("Subfolder.TD4"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    QCOMPARE(SelectedItems(*Parts(form).ShellListView1),
             anotherFolder ? std::vector<int>{} : std::vector{kAlpha});
    QCOMPARE(Pane(), anotherFolder ? QString() : Lines({ExpansionBlock("Alpha.TD4"), kVersionFailure}));
    VerifyIdle();
}

void SelectionCommandsTest::selectAllEndsAtTheFirstEntryThatCannotBeRead_data()
{
    QTest::addColumn<QString>("kind");   // of the entries that cannot be read
    QTest::addColumn<int>("every");      // the design at every/2 is one, and one in every after it
    QTest::addColumn<QString>("reason"); // the system's, after the message
    QTest::newRow("a tenth of the designs dangling links") << "link" << 10 << "No such file or directory";
    QTest::newRow("a named pipe") << "pipe" << 40 << "Not a regular file";
    QTest::newRow("a socket") << "socket" << 40 << "No such device or address";
}

void SelectionCommandsTest::selectAllEndsAtTheFirstEntryThatCannotBeRead()
{
    QFETCH(QString, kind);
    QFETCH(int, every);
    QFETCH(QString, reason);
    constexpr int kDesigns = 40;
    // Entries of other types are not opened: a pipe and a socket without a game file's name are passed.
    QVERIFY(::mkfifo(QFile::encodeName(folder_->PathOf("A-pipe")).constData(), 0600) == 0);
    QVERIFY(MakeSocket(folder_->PathOf("A-socket")));
    QStringList reached;
    for (int design = 0; design < kDesigns; ++design) {
        const QString name = QStringLiteral("D%1.TD4").arg(design, 3, 10, QLatin1Char('0'));
        const QString path = folder_->PathOf(name);
        if (design % every != every / 2) {
            folder_->AddTrackDesign(name, kWoodenFields, 1);
        } else if (kind == "link") {
            QVERIFY(QFile::link(folder_->PathOf("gone.TD4"), path));
        } else if (kind == "pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else {
            QVERIFY(MakeSocket(path));
        }
        if (design < every / 2) {
            reached << name;
        }
    }
    TMainForm& form = OpenAt(*folder_, kDesigns + 2);

    Parts(form).SelectAllVJEMfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);

    std::vector<int> selected(static_cast<std::size_t>(reached.size()));
    std::iota(selected.begin(), selected.end(), 2);
    QCOMPARE(SelectedItems(*Parts(form).ShellListView1), selected);
    QCOMPARE(Pane(), ExpansionPane(reached));
    VerifyIdle();
    const QString failed = QStringLiteral("D%1.TD4").arg(every / 2, 3, 10, QLatin1Char('0'));
    QTRY_COMPARE(boxes_->texts, QStringList{"Cannot open file " + folder_->PathOf(failed) + ": " + reason});
    boxes_->texts.clear();
}

void SelectionCommandsTest::filesComingAndGoingDuringSelectAllLeaveNoStaleLine()
{
    AddDesignsWithImages(*folder_, 300);
    // Listed after D149: the command waits for it, and the folder's changes arrive meanwhile.
    QFile slow(folder_->PathOf("D149z.SV4"));
    QVERIFY(slow.open(QIODevice::WriteOnly) && slow.resize(qint64{512} << 20));
    slow.close();
    TMainForm& form = OpenAt(*folder_, 601);
    lmp::gui::TShellListView& list = *Parts(form).ShellListView1;
    QTimer change;
    QObject::connect(&change, &QTimer::timeout, [&] {
        if (list.SelectionCount() >= 150) {
            change.stop();
            folder_->AddTrackDesign("D000a.TD4", kWoodenFields, 1);
            folder_->AddTrackDesign("D299a.TD4", kWoodenFields, 1);
            QVERIFY(QFile::remove(folder_->PathOf("D100.TP4")));
            QVERIFY(QFile::remove(folder_->PathOf("D200.TP4")));
        }
    });
    change.start(1);

    Parts(form).SelectAllVJEMfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);
    QTRY_COMPARE(list.ItemCount(), 601);

    // Whatever the command reached before the rows moved: its designs, each described once, in order.
    QStringList selected;
    for (const int item : SelectedItems(list)) {
        selected << list.Caption(item);
    }
    QVERIFY(!selected.isEmpty());
    QVERIFY(selected.filter(QStringLiteral(".TD4")) == selected);
    QCOMPARE(Pane(), ExpansionPane(selected));
    VerifyIdle();
}

void SelectionCommandsTest::selectionChangedEveryMillisecondDuringSelectAllDescribesEachFileOnce()
{
    constexpr int kDesigns = 400;
    AddDesignsWithImages(*folder_, kDesigns);
    TMainForm& form = OpenAt(*folder_, 2 * kDesigns);
    lmp::gui::TShellListView& list = *Parts(form).ShellListView1;
    // The images, chosen at random, are selected and deselected by someone else while the command runs.
    QTimer other;
    int changes = 0;
    QObject::connect(&other, &QTimer::timeout, [&] {
        const int image = 2 * QRandomGenerator::global()->bounded(kDesigns) + 1;
        list.SetSelected(image, !list.Selected(image));
        ++changes;
    });
    other.start(1);

    Parts(form).SelectAllVJEMfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);
    other.stop();

    QStringList designs;
    for (int design = 0; design < kDesigns; ++design) {
        QVERIFY(list.Selected(2 * design));
        designs << list.Caption(2 * design);
    }
    // The first description has a separator when someone else had selected an image before it.
    const QString pane = Pane();
    QVERIFY2(pane == ExpansionPane(designs) || pane == kSeparator + '\n' + ExpansionPane(designs),
             qPrintable(QStringLiteral("%1 changes").arg(changes)));
    VerifyIdle();
}

void SelectionCommandsTest::paneCopiesItsLinesAsTheyAre()
{
    // A no-break space in a name stays one.
    const QString odd = QStringLiteral("Coaster\u00A0One.TD4");
    folder_->AddTrackDesign(odd, kWoodenFields, 1);
    folder_->AddTrackDesign("Second.TD4", kWoodenFields, 1);
    TMainForm& form = OpenAt(*folder_, 2);
    Parts(form).SelectAllVJEMfiles1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).SelectionBusy, 60000);
    const QString lines = ExpansionPane({odd, "Second.TD4"});
    QCOMPARE(Pane(), QString(lines).replace(QChar::Nbsp, QLatin1Char(' ')));

    // Every line ended, the last one too, as lmpinfo prints them.
    Parts(form).Memo1->selectAll();
    Parts(form).Memo1->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), lines + '\n');
    // Part of a line is copied as it is.
    QTextCursor cursor = Parts(form).Memo1->textCursor();
    cursor.setPosition(12);
    cursor.setPosition(23, QTextCursor::KeepAnchor);
    Parts(form).Memo1->setTextCursor(cursor);
    Parts(form).Memo1->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), lines.mid(12, 11));
}

QTEST_MAIN(SelectionCommandsTest)
#include "SelectionCommandsTest.moc"
