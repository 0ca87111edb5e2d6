// Drag-and-drop copy: drive labels and target folders from tree captions, the list's drag start, and
// drops onto the explorer window's tree copying testkit files between temporary folders.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDragMoveEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/main/CopyJobs.h"
#include "gui/main/DropCopy.h"
#include "gui/main/MainForm.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

using lmp::gui::PathStyle;
using lmp::gui::TMainForm;
using lmp::gui::TShellListView;
using lmp::gui::TShellTreeView;
using lmp::guitest::ClickItem;
using lmp::guitest::GameFolder;
using lmp::guitest::Parts;

namespace {

// The sample folder's items in displayed order.
constexpr int kSubfolder = 0;
constexpr int kAlpha = 1;
constexpr int kBeta = 2;
constexpr int kGamma = 3;
constexpr int kLink = 4; // a symbolic link to Alpha.TD4
constexpr int kNotes = 5;
constexpr int kSampleItems = 6;

const lmp::testkit::TrackDesignFields kAlphaFields{
    .rideType = 0, .lengthMetres = 100, .excitement = 67, .intensity = 52, .nausea = 38};
const lmp::testkit::TrackDesignFields kBetaFields{
    .rideType = 5, .lengthMetres = 1000, .excitement = 10, .intensity = 20, .nausea = 5};
const QByteArray kNotesText = "park ideas";
const QByteArray kOldBytes = "an older file";

void AddSampleFiles(const GameFolder& folder)
{
    folder.AddFolder("Subfolder");
    folder.AddTrackDesign("Alpha.TD4", kAlphaFields, 0);
    folder.AddTrackDesign("Beta.TD4", kBetaFields, 1);
    folder.AddTrackDesign("Gamma.TD4", kBetaFields, 2);
    QFile::link(folder.PathOf("Alpha.TD4"), folder.PathOf("link.TD4"));
    folder.AddFile("notes.txt", kNotesText);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Every entry of the folder, hidden ones included, by name.
QStringList Entries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                QDir::Name);
}

// Sends the tree what the window system sends while something is dragged to position.
void DragOverTree(TShellTreeView& tree, const QPoint& position)
{
    QMimeData data;
    QDragEnterEvent enter(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &enter);
    QDragMoveEvent move(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &move);
}

void DragOverNode(TShellTreeView& tree, const QModelIndex& node)
{
    tree.scrollTo(node);
    DragOverTree(tree, tree.visualRect(node).center());
}

void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               QPoint position)
{
    QMouseEvent event(type, position, widget.mapToGlobal(position), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

enum class Answer { Yes, No, Escape, YesToAll, NoToAll, Cancel };

QMessageBox::StandardButton ButtonOf(Answer answer)
{
    switch (answer) {
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::YesToAll:
        return QMessageBox::YesToAll;
    case Answer::NoToAll:
        return QMessageBox::NoToAll;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    default:
        return QMessageBox::No;
    }
}

// Answers every modal message box that opens while it lives, noting its title and text.
class DialogAnswerer {
public:
    explicit DialogAnswerer(Answer answer)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) {
                return;
            }
            titles << box->windowTitle();
            texts << box->text();
            if (answer == Answer::Escape) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else if (QAbstractButton* button = box->button(ButtonOf(answer))) {
                button->click();
            } else {
                box->button(QMessageBox::Yes)->click();
            }
        });
        timer_.start(5);
    }

    QStringList titles;
    QStringList texts;

private:
    QTimer timer_;
};

// Holds a drop's copies still after the nth piece written, until released. The copying thread shares the
// state, so it may outlive the test's gate: a closed window leaves a held copy behind.
class WriteGate {
public:
    explicit WriteGate(int piece) : state_(std::make_shared<State>(piece)) {}

    lmp::sys::CopyFaults Faults()
    {
        lmp::sys::CopyFaults faults;
        faults.afterWrite = [state = state_](std::uint64_t) {
            if (++state->written == state->piece) {
                state->reached = true;
                state->released.wait(false);
            }
        };
        return faults;
    }
    void Release()
    {
        state_->released = true;
        state_->released.notify_all();
    }
    bool Reached() const { return state_->reached; }

private:
    struct State {
        explicit State(int at) : piece(at) {}
        int piece;
        std::atomic<int> written{0};
        std::atomic<bool> reached{false};
        std::atomic<bool> released{false};
    };
    std::shared_ptr<State> state_;
};

// A file list whose drags are noted instead of run: a drag cannot run on the offscreen platform.
class NotingList : public TShellListView {
public:
    QList<QList<QUrl>> drags;

protected:
    void RunDrag(QDrag* drag) override { drags << drag->mimeData()->urls(); }
};

} // namespace

// folder_ holds the files dragged; target_ is the folder dropped on.
class DropCopyTest : public QObject, private lmp::guitest::WindowFixture {
    Q_OBJECT

public:
    DropCopyTest() : WindowFixture(Boxes::AnsweredByTheTest) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void driveLabelEndsInParenthesisedDriveDesignation_data();
    void driveLabelEndsInParenthesisedDriveDesignation();
    void targetFolderIsBuiltFromCaptionsUpToTheDrive_data();
    void targetFolderIsBuiltFromCaptionsUpToTheDrive();

    void listStartsTheDragOfTheSelectedFilesOnlyPastTheThreshold();
    void onlyALeftPressOnTheListMakesADragWait_data();
    void onlyALeftPressOnTheListMakesADragWait();
    void treeAcceptsDragsOnlyFromAFileList();

    void dropCopiesTheSelectedFilesSkippingWhatCannotBeCopied_data();
    void dropCopiesTheSelectedFilesSkippingWhatCannotBeCopied();
    void existingFileIsOverwrittenOnlyWhenTheAnswerIsYes_data();
    void existingFileIsOverwrittenOnlyWhenTheAnswerIsYes();
    void dropBackOntoTheSourceFolderAsksForEachFileAndKeepsThemIntact();
    void dropOnANodeWithNoDriveAboveShowsTheMessageAndCopiesNothing_data();
    void dropOnANodeWithNoDriveAboveShowsTheMessageAndCopiesNothing();
    void dropOutsideEveryNodeDoesNothing();
    void nameThatIsNoUtf8OrHoldsABidirectionalControlIsCopiedWithItsOwnBytes();
    void secondDropQueuesBehindTheFirstAndAsksItsOwnQuestions();
    void cancelStopsTheCopiesKeepingThoseDoneAndNoPartialFile();
    void closingDuringACopyAsksAndYesStopsItBeforeTheWindowCloses_data();
    void closingDuringACopyAsksAndYesStopsItBeforeTheWindowCloses();

private:
    void OpenAtSource();
    void SelectRows(const QList<int>& rows);
    // Drops the list's selection on the node and waits until its copies and their boxes are done.
    void DropOn(const QModelIndex& node);

    std::unique_ptr<GameFolder> target_;
    QPersistentModelIndex sourceNode_;
    QPersistentModelIndex targetNode_;
};

void DropCopyTest::initTestCase()
{
    QApplication::setApplicationDisplayName(QString::fromLatin1(lmp::gui::kApplicationTitle));
}

void DropCopyTest::init()
{
    InitWindow();
    target_ = std::make_unique<GameFolder>();
    AddSampleFiles(*folder_);
}

void DropCopyTest::cleanup()
{
    CleanupWindow();
    target_.reset();
}

// The window shows the source folder in its list; the target folder has a node in the tree.
void DropCopyTest::OpenAtSource()
{
    OpenWindow();
    Parts(*form_).ShellTreeView1->SetPath(target_->Path());
    targetNode_ = Parts(*form_).ShellTreeView1->currentIndex();
    Parts(*form_).ShellTreeView1->SetPath(folder_->Path());
    sourceNode_ = Parts(*form_).ShellTreeView1->currentIndex();
    QTRY_COMPARE(Parts(*form_).ShellListView1->ItemCount(), kSampleItems);
}

void DropCopyTest::SelectRows(const QList<int>& rows)
{
    for (const int row : rows) {
        ClickItem(*Parts(*form_).ShellListView1, row, Qt::ControlModifier);
    }
    // The clicks' descriptions are read on worker threads: done before a test removes a file.
    QTRY_VERIFY(!form_->DescribingPending());
}

void DropCopyTest::DropOn(const QModelIndex& node)
{
    DragOverNode(*Parts(*form_).ShellTreeView1, node);
    form_->ShellTreeView1DragDrop(Parts(*form_).ShellListView1, 0, 0);
    QTRY_VERIFY(!form_->CopyingPending());
}

void DropCopyTest::driveLabelEndsInParenthesisedDriveDesignation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("drive");
    QTest::newRow("disk caption") << "Local Disk (C:)" << true;
    QTest::newRow("bare designation") << "(C:)" << true;
    QTest::newRow("letter not examined") << "Odd (?:)" << true;
    QTest::newRow("drive without parentheses") << "C:" << false;
    QTest::newRow("no colon") << "Data (C)" << false;
    QTest::newRow("text after the parenthesis") << "Local Disk (C:) " << false;
    QTest::newRow("three characters") << "(:)" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("folder name") << "Games" << false;
}

void DropCopyTest::driveLabelEndsInParenthesisedDriveDesignation()
{
    QFETCH(QString, text);
    QFETCH(bool, drive);
    QCOMPARE(lmp::gui::IsDriveLabel(text), drive);
}

void DropCopyTest::targetFolderIsBuiltFromCaptionsUpToTheDrive_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<bool>("driveFound");
    QTest::addColumn<QString>("path");
    const int windows = static_cast<int>(PathStyle::Windows);
    const int posix = static_cast<int>(PathStyle::Posix);
    const QString longName(700, QLatin1Char('x'));

    QTest::newRow("windows drive node")
        << windows << QStringList{"Local Disk (C:)", "Desktop"} << true << "C:\\";
    QTest::newRow("windows drive node has no parent visited")
        << windows << QStringList{"Local Disk (C:)", "Other (E:)"} << true << "C:\\";
    QTest::newRow("windows folder below the drive")
        << windows << QStringList{"Games", "Local Disk (C:)", "Desktop"} << true << "C:\\Games\\";
    QTest::newRow("windows two levels below the drive")
        << windows << QStringList{"Tracks", "Games", "Data (D:)", "Desktop"} << true << "D:\\Games\\Tracks\\";
    QTest::newRow("windows desktop folder")
        << windows << QStringList{"My Documents", "Desktop"} << false << "Desktop\\My Documents";
    QTest::newRow("file-system root") << posix << QStringList{"/", "Desktop"} << true << "/";
    QTest::newRow("folder below the root")
        << posix << QStringList{"home", "/", "Desktop"} << true << "/home/";
    QTest::newRow("three levels below the root")
        << posix << QStringList{"Tracks", "Parks", "home", "/", "Desktop"} << true << "/home/Parks/Tracks/";
    QTest::newRow("drive-like folder name is a folder on linux")
        << posix << QStringList{"Data (C:)", "/", "Desktop"} << true << "/Data (C:)/";
    QTest::newRow("home shortcut node")
        << posix << QStringList{"alice", "Desktop"} << false << "Desktop/alice";
    QTest::newRow("desktop itself") << posix << QStringList{"Desktop"} << false << "Desktop";
    QTest::newRow("no captions") << posix << QStringList{} << false << "";
    QTest::newRow("captions longer than any buffer")
        << posix << QStringList{longName, longName, "/", "Desktop"} << true
        << "/" + longName + "/" + longName + "/";
}

void DropCopyTest::targetFolderIsBuiltFromCaptionsUpToTheDrive()
{
    QFETCH(int, style);
    QFETCH(QStringList, captions);
    QFETCH(bool, driveFound);
    QFETCH(QString, path);
    const lmp::gui::TargetFolder folder =
        lmp::gui::TargetFolderFromCaptions(captions, static_cast<PathStyle>(style));
    QCOMPARE(folder.driveFound, driveFound);
    QCOMPARE(folder.path, path);
}

void DropCopyTest::listStartsTheDragOfTheSelectedFilesOnlyPastTheThreshold()
{
    NotingList list;
    QObject::connect(&list, &TShellListView::MouseDown, [&list](Qt::MouseButton button) {
        if (button == Qt::LeftButton) {
            list.BeginDrag();
        }
    });
    list.resize(600, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.SetFolder(folder_->Path());
    QTRY_COMPARE(list.ItemCount(), kSampleItems);
    ClickItem(list, kAlpha);
    ClickItem(list, kNotes, Qt::ControlModifier);

    QWidget& viewport = *list.viewport();
    const QPoint start = list.visualRect(list.model()->index(kAlpha, 0, list.rootIndex())).center();
    const int threshold = QApplication::startDragDistance();
    SendMouse(viewport, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, start);
    QVERIFY(list.DragPending());
    SendMouse(viewport, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, start + QPoint(1, 0));
    SendMouse(viewport, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, start + QPoint(threshold, 0));
    QCOMPARE(list.drags.size(), 0);
    SendMouse(viewport, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, start + QPoint(threshold + 1, 0));

    QCOMPARE(list.drags.size(), 1);
    QCOMPARE(list.drags.front(), (QList<QUrl>{QUrl::fromLocalFile(folder_->PathOf("Alpha.TD4")),
                                              QUrl::fromLocalFile(folder_->PathOf("notes.txt"))}));
    QCOMPARE(list.SelectionCount(), 2);
    QVERIFY(!list.DragPending());
}

void DropCopyTest::onlyALeftPressOnTheListMakesADragWait_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("waits");
    QTest::newRow("left") << Qt::LeftButton << true;
    QTest::newRow("right") << Qt::RightButton << false;
    QTest::newRow("middle") << Qt::MiddleButton << false;
}

void DropCopyTest::onlyALeftPressOnTheListMakesADragWait()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, waits);
    OpenAtSource();
    TShellListView& list = *Parts(*form_).ShellListView1;
    const QPoint item = list.visualRect(list.model()->index(kAlpha, 0, list.rootIndex())).center();

    QTest::mousePress(list.viewport(), button, Qt::NoModifier, item);
    QCOMPARE(list.DragPending(), waits);
    QTest::mouseRelease(list.viewport(), button, Qt::NoModifier, item);
    QVERIFY(!list.DragPending());
}

void DropCopyTest::treeAcceptsDragsOnlyFromAFileList()
{
    OpenAtSource();
    const struct {
        const char* name;
        QObject* source;
        bool accepted;
    } rows[] = {
        {"the file list", Parts(*form_).ShellListView1, true},
        {"the tree", Parts(*form_).ShellTreeView1, false},
        {"outside the program", nullptr, false},
    };
    for (const auto& row : rows) {
        bool accept = !row.accepted;
        form_->ShellTreeView1DragOver(row.source, 0, 0, accept);
        QVERIFY2(accept == row.accepted, row.name);
    }
}

void DropCopyTest::dropCopiesTheSelectedFilesSkippingWhatCannotBeCopied_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("removed");   // from the source folder after the selection
    QTest::addColumn<bool>("duringTheJob"); // removed once the first file is written, not before the drop
    QTest::addColumn<qint64>("diskRoom");   // bytes the target disk takes of each copy; -1: all
    QTest::addColumn<QStringList>("copied");
    QTest::addColumn<QString>("notCopied"); // the box after the drop
    QTest::newRow("several files") << QList<int>{kAlpha, kBeta, kNotes} << "" << false << qint64(-1)
                                   << QStringList{"Alpha.TD4", "Beta.TD4", "notes.txt"} << "";
    QTest::newRow("nothing selected") << QList<int>{} << "" << false << qint64(-1) << QStringList{} << "";
    QTest::newRow("a folder among them") << QList<int>{kSubfolder, kGamma} << "" << false << qint64(-1)
                                         << QStringList{"Gamma.TD4"} << "Not copied:\nSubfolder: is a folder";
    QTest::newRow("a symbolic link") << QList<int>{kLink} << "" << false << qint64(-1)
                                     << QStringList{"link.TD4"} << "";
    QTest::newRow("a source removed before the drop")
        << QList<int>{kAlpha, kBeta} << "Alpha.TD4" << false << qint64(-1) << QStringList{"Beta.TD4"}
        << "Not copied:\nAlpha.TD4: cannot be read";
    QTest::newRow("a source removed during the job")
        << QList<int>{kAlpha, kBeta} << "Beta.TD4" << true << qint64(-1) << QStringList{"Alpha.TD4"}
        << "Not copied:\nBeta.TD4: cannot be read";
    QTest::newRow("a target disk that fills up")
        << QList<int>{kAlpha, kNotes} << "" << false << qint64(4) << QStringList{}
        << "Not copied:\nAlpha.TD4: the disk is full\nnotes.txt: the disk is full";
}

void DropCopyTest::dropCopiesTheSelectedFilesSkippingWhatCannotBeCopied()
{
    QFETCH(QList<int>, rows);
    QFETCH(QString, removed);
    QFETCH(bool, duringTheJob);
    QFETCH(qint64, diskRoom);
    QFETCH(QStringList, copied);
    QFETCH(QString, notCopied);
    OpenAtSource();
    SelectRows(rows);
    lmp::sys::CopyFaults faults;
    if (diskRoom >= 0) {
        faults.writeLimit = static_cast<std::uint64_t>(diskRoom);
    }
    if (!removed.isEmpty() && duringTheJob) {
        faults.afterWrite = [path = lmp::gui::NativePath(folder_->PathOf(removed))](std::uint64_t) {
            std::error_code error;
            std::filesystem::remove(path, error);
        };
    } else if (!removed.isEmpty()) {
        QVERIFY(QFile::remove(folder_->PathOf(removed)));
    }
    Parts(*form_).Copies->SetFaults(faults);
    const lmp::guitest::MessageBoxCatcher boxes;

    DropOn(targetNode_);

    QCOMPARE(boxes.texts, notCopied.isEmpty() ? QStringList() : QStringList{notCopied});
    QCOMPARE(boxes.titles, notCopied.isEmpty() ? QStringList() : QStringList{"LMPexplorer"});
    QCOMPARE(Entries(target_->Path()), copied);
    for (const QString& name : copied) {
        const QString original = name == "link.TD4" ? "Alpha.TD4" : name;
        QCOMPARE(Contents(target_->PathOf(name)), Contents(folder_->PathOf(original)));
        QVERIFY(!QFileInfo(target_->PathOf(name)).isSymLink());
    }
}

void DropCopyTest::existingFileIsOverwrittenOnlyWhenTheAnswerIsYes_data()
{
    // Alpha.TD4 and notes.txt exist in the target folder; Alpha.TD4, Beta.TD4 and notes.txt are dropped.
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions"); // Alpha.TD4's, then notes.txt's
    QTest::addColumn<bool>("overwritten");
    QTest::addColumn<bool>("betaCopied");
    QTest::addColumn<QString>("summary"); // "%1" stands for the target folder
    const auto row = [](const char* name, Answer answer, int questions, bool overwritten, bool betaCopied,
                        const char* summary) {
        QTest::newRow(name) << static_cast<int>(answer) << questions << overwritten << betaCopied
                            << QString::fromLatin1(summary);
    };
    row("yes", Answer::Yes, 2, true, true, "Copied 3 files to %1");
    row("no", Answer::No, 2, false, true, "Copied 1 of 3 files to %1");
    row("escape", Answer::Escape, 2, false, true, "Copied 1 of 3 files to %1");
    row("yes to all", Answer::YesToAll, 1, true, true, "Copied 3 files to %1");
    row("no to all", Answer::NoToAll, 1, false, true, "Copied 1 of 3 files to %1");
    row("cancel", Answer::Cancel, 1, false, false, "Copied 0 of 3 files to %1; cancelled");
}

void DropCopyTest::existingFileIsOverwrittenOnlyWhenTheAnswerIsYes()
{
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(bool, overwritten);
    QFETCH(bool, betaCopied);
    QFETCH(QString, summary);
    target_->AddFile("Alpha.TD4", kOldBytes);
    target_->AddFile("notes.txt", kOldBytes);
    OpenAtSource();
    SelectRows({kAlpha, kBeta, kNotes});
    const DialogAnswerer answerer(static_cast<Answer>(answer));

    DropOn(targetNode_);

    const QStringList asked = {"Alpha.TD4 already exists. Do you want to overwrite?",
                               "notes.txt already exists. Do you want to overwrite?"};
    QCOMPARE(answerer.titles, QStringList(questions, "Warning"));
    QCOMPARE(answerer.texts, asked.mid(0, questions));
    QCOMPARE(Entries(target_->Path()), betaCopied ? (QStringList{"Alpha.TD4", "Beta.TD4", "notes.txt"})
                                                  : (QStringList{"Alpha.TD4", "notes.txt"}));
    if (betaCopied) {
        QCOMPARE(Contents(target_->PathOf("Beta.TD4")), Contents(folder_->PathOf("Beta.TD4")));
    }
    QCOMPARE(Contents(target_->PathOf("Alpha.TD4")),
             overwritten ? Contents(folder_->PathOf("Alpha.TD4")) : kOldBytes);
    QCOMPARE(Contents(target_->PathOf("notes.txt")), overwritten ? kNotesText : kOldBytes);
    QCOMPARE(form_->statusBar()->currentMessage(), summary.arg(target_->Path()));
}

void DropCopyTest::dropBackOntoTheSourceFolderAsksForEachFileAndKeepsThemIntact()
{
    OpenAtSource();
    const QByteArray alpha = Contents(folder_->PathOf("Alpha.TD4"));
    SelectRows({kAlpha, kNotes});
    const DialogAnswerer answerer(Answer::Yes);

    DropOn(sourceNode_);

    QCOMPARE(answerer.texts, (QStringList{"Alpha.TD4 already exists. Do you want to overwrite?",
                                          "notes.txt already exists. Do you want to overwrite?"}));
    QCOMPARE(Contents(folder_->PathOf("Alpha.TD4")), alpha);
    QCOMPARE(Contents(folder_->PathOf("notes.txt")), kNotesText);
    QCOMPARE(Entries(folder_->Path()),
             (QStringList{"Alpha.TD4", "Beta.TD4", "Gamma.TD4", "Subfolder", "link.TD4", "notes.txt"}));
}

void DropCopyTest::dropOnANodeWithNoDriveAboveShowsTheMessageAndCopiesNothing_data()
{
    QTest::addColumn<QString>("below"); // the folder dropped on, below the home shortcut node
    QTest::newRow("home shortcut node") << "";
    QTest::newRow("folder below it") << "Parks";
}

void DropCopyTest::dropOnANodeWithNoDriveAboveShowsTheMessageAndCopiesNothing()
{
    QFETCH(QString, below);
    // The tree's home shortcut node stands for the target folder.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", target_->Path().toUtf8());
    target_->AddFolder("Parks");
    OpenAtSource();
    qputenv("HOME", home);
    SelectRows({kAlpha});
    const QAbstractItemModel& tree = *Parts(*form_).ShellTreeView1->model();
    const QModelIndex desktop = tree.index(0, 0);
    QModelIndex node = tree.index(1, 0, desktop);
    const QString homeName = QFileInfo(target_->Path()).fileName();
    QCOMPARE(node.data().toString(), homeName);
    QString expected = "Sorry; unable to drag to \"Desktop/" + homeName + "\"";
    if (!below.isEmpty()) {
        Parts(*form_).ShellTreeView1->expand(node);
        Parts(*form_).ShellTreeView1->model()->fetchMore(node);
        QTRY_COMPARE(tree.rowCount(node), 1);
        node = tree.index(0, 0, node);
        expected = "Sorry; unable to drag to \"Desktop/" + homeName + "/Parks\"";
    }
    const lmp::guitest::MessageBoxCatcher boxes;

    DropOn(node);

    QCOMPARE(boxes.titles, QStringList{"LMPexplorer"});
    QCOMPARE(boxes.texts, QStringList{expected});
    QCOMPARE(Entries(target_->Path()), QStringList{"Parks"});
    QCOMPARE(Entries(target_->PathOf("Parks")), QStringList());
}

void DropCopyTest::dropOutsideEveryNodeDoesNothing()
{
    OpenAtSource();
    SelectRows({kAlpha});
    TShellTreeView& tree = *Parts(*form_).ShellTreeView1;
    DragOverNode(tree, targetNode_);
    QVERIFY(tree.DropTarget());
    tree.collapseAll();
    tree.expand(tree.model()->index(0, 0));
    const lmp::guitest::MessageBoxCatcher boxes;

    DragOverTree(tree, QPoint(5, tree.viewport()->height() - 5));
    QVERIFY(!tree.DropTarget());
    form_->ShellTreeView1DragDrop(Parts(*form_).ShellListView1, 0, 0);
    QVERIFY(!form_->CopyingPending());

    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(Entries(target_->Path()), QStringList());
}

void DropCopyTest::nameThatIsNoUtf8OrHoldsABidirectionalControlIsCopiedWithItsOwnBytes()
{
    // A drop onto a folder whose name is not UTF-8 copies into that folder.
    const std::filesystem::path latinFolder = lmp::gui::NativePath(target_->Path()) / "Caf\xe9 folder";
    std::filesystem::create_directory(latinFolder);
    OpenAtSource();
    Parts(*form_).ShellTreeView1->SetPath(lmp::gui::PathText(latinFolder));
    const QModelIndex latinNode = Parts(*form_).ShellTreeView1->currentIndex();
    Parts(*form_).ShellTreeView1->SetPath(folder_->Path());
    QTRY_COMPARE(Parts(*form_).ShellListView1->ItemCount(), kSampleItems);
    SelectRows({kAlpha});
    DropOn(latinNode);
    QVERIFY(std::filesystem::is_regular_file(latinFolder / "Alpha.TD4"));

    // One whose name also holds a right-to-left override, which shows as U+FFFD.
    const std::filesystem::path name("Caf\xe9 \xe2\x80\xae latin1.TD4");
    std::ofstream(lmp::gui::NativePath(folder_->Path()) / name) << "latin";
    QStringList notCopied;

    const std::vector<lmp::gui::ItemOutcome> outcomes = lmp::gui::CopyItems(
        {lmp::gui::NativePath(folder_->Path()) / name}, target_->Path() + "/",
        [](const QString&) { return false; }, &notCopied);

    QCOMPARE(outcomes, std::vector<lmp::gui::ItemOutcome>{lmp::gui::ItemOutcome::Copied});
    QCOMPARE(notCopied, QStringList());
    std::ifstream copy(lmp::gui::NativePath(target_->Path()) / name);
    std::string contents;
    copy >> contents;
    QCOMPARE(contents, std::string("latin"));
}

void DropCopyTest::secondDropQueuesBehindTheFirstAndAsksItsOwnQuestions()
{
    target_->AddFile("Alpha.TD4", kOldBytes);
    target_->AddFile("notes.txt", kOldBytes);
    OpenAtSource();
    SelectRows({kAlpha, kNotes});
    const DialogAnswerer answerer(Answer::YesToAll);
    QSignalSpy summaries(Parts(*form_).Copies, &lmp::gui::CopyJobs::Finished);
    TShellListView& list = *Parts(*form_).ShellListView1;
    TShellTreeView& tree = *Parts(*form_).ShellTreeView1;

    // The second drop lands while the first waits for its answer; then the selection and the folder
    // change, which neither drop heeds: each copies the files selected when it landed.
    for (int drop = 0; drop < 2; ++drop) {
        DragOverNode(tree, targetNode_);
        form_->ShellTreeView1DragDrop(&list, 0, 0);
    }
    list.ClearSelection();
    list.SetSelected(kGamma, true);
    tree.SetPath(target_->Path());
    QTRY_VERIFY(!form_->CopyingPending());

    QCOMPARE(answerer.texts, QStringList(2, "Alpha.TD4 already exists. Do you want to overwrite?"));
    QCOMPARE(summaries.size(), 2);
    for (const QList<QVariant>& summary : summaries) {
        QCOMPARE(summary.front().toString(), "Copied 2 files to " + target_->Path());
    }
    QCOMPARE(Entries(target_->Path()), (QStringList{"Alpha.TD4", "notes.txt"}));
    QCOMPARE(Contents(target_->PathOf("Alpha.TD4")), Contents(folder_->PathOf("Alpha.TD4")));
    QCOMPARE(Contents(target_->PathOf("notes.txt")), kNotesText);
}

void DropCopyTest::cancelStopsTheCopiesKeepingThoseDoneAndNoPartialFile()
{
    OpenAtSource();
    SelectRows({kAlpha, kBeta, kGamma, kNotes});
    const auto gate = std::make_shared<WriteGate>(2);
    const auto release = qScopeGuard([gate] { gate->Release(); });
    Parts(*form_).Copies->SetFaults(gate->Faults());

    DragOverNode(*Parts(*form_).ShellTreeView1, targetNode_);
    form_->ShellTreeView1DragDrop(Parts(*form_).ShellListView1, 0, 0);
    QTRY_VERIFY(gate->Reached());
    QTRY_VERIFY(Parts(*form_).Copies->ProgressDialog() != nullptr);
    QProgressDialog& progress = *Parts(*form_).Copies->ProgressDialog();
    QVERIFY(progress.isVisible());
    QCOMPARE(progress.labelText().split('\n').mid(0, 2),
             (QStringList{"Copying 2 of 4 files to " + target_->Path(), "Beta.TD4"}));
    QTest::mouseClick(progress.findChild<QPushButton*>(), Qt::LeftButton);
    gate->Release();
    QTRY_VERIFY(!form_->CopyingPending());

    QCOMPARE(Entries(target_->Path()), QStringList{"Alpha.TD4"});
    QCOMPARE(Contents(target_->PathOf("Alpha.TD4")), Contents(folder_->PathOf("Alpha.TD4")));
    QCOMPARE(form_->statusBar()->currentMessage(),
             "Copied 1 of 4 files to " + target_->Path() + "; cancelled");
    QCOMPARE(Parts(*form_).Copies->ProgressDialog(), nullptr);
}

void DropCopyTest::closingDuringACopyAsksAndYesStopsItBeforeTheWindowCloses_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QStringList>("copied");
    QTest::newRow("yes") << static_cast<int>(Answer::Yes) << true << QStringList{};
    QTest::newRow("no") << static_cast<int>(Answer::No) << false << QStringList{"Alpha.TD4", "Beta.TD4"};
}

void DropCopyTest::closingDuringACopyAsksAndYesStopsItBeforeTheWindowCloses()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(QStringList, copied);
    OpenAtSource();
    SelectRows({kAlpha, kBeta});
    const auto gate = std::make_shared<WriteGate>(1);
    const auto release = qScopeGuard([gate] { gate->Release(); });
    Parts(*form_).Copies->SetFaults(gate->Faults());
    DragOverNode(*Parts(*form_).ShellTreeView1, targetNode_);
    form_->ShellTreeView1DragDrop(Parts(*form_).ShellListView1, 0, 0);
    QTRY_VERIFY(gate->Reached());
    const DialogAnswerer answerer(static_cast<Answer>(answer));

    // The copy holds still in the middle of the first file: the window waits for it only so long.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(form_->close(), closed);
    const qint64 elapsed = clock.elapsed();
    gate->Release();

    QCOMPARE(answerer.texts, QStringList{"Files are still being copied. Stop copying and close?"});
    QCOMPARE(form_->isVisible(), !closed);
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    QTRY_VERIFY(closed || !form_->CopyingPending());
    QCOMPARE(Entries(target_->Path()), copied);
}

QTEST_MAIN(DropCopyTest)
#include "DropCopyTest.moc"
