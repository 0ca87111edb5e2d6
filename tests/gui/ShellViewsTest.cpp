// The shell views: the folder tree and the file list over the file system.
#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <system_error>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "GuiTestSupport.h"
#include "gui/desktop/DescribingThreads.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/main/MainForm.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/GameDetailsColumns.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

using lmp::gui::TShellListView;
using lmp::gui::TShellTreeView;
using lmp::guitest::ClickItem;
using lmp::guitest::GameFolder;
using lmp::guitest::ItemNames;
using lmp::guitest::SlowFolder;

// The Game Details columns clicked by the sorting tests.
constexpr int kExcitement = lmp::gui::FileListModel::OwnColumns + 2;
constexpr int kLength = lmp::gui::FileListModel::OwnColumns + 5;
constexpr int kCash = lmp::gui::FileListModel::OwnColumns + 8;

// Takes the files that the list hands to the desktop.
class DesktopStandIn : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

class ShellViewsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void treeRootIsTheDesktopHoldingTheFileSystemRootAndHome();
    void treeListsFoldersOnlyInNaturalOrder();
    void treeSelectsTheFolderOfAPath();
    void treeReachesAFolderThroughAHiddenOne();
    void pathThatDoesNotResolveIsRejected_data();
    void pathThatDoesNotResolveIsRejected();
    void treeRefreshRereadsTheFolderOrFallsBackToTheNearestOneLeft_data();
    void treeRefreshRereadsTheFolderOrFallsBackToTheNearestOneLeft();

    void listShowsFoldersFirstThenNaturalNameOrder();
    void listIsAReportOfNameSizeTypeAndDate();
    void listShowsTheFileSystemRootsForTheDesktop();
    void nameThatIsNoUtf8IsListedWithItsOwnBytes();
    void selectionFlagsFollowTheSelectionAndTheFolder_data();
    void selectionFlagsFollowTheSelectionAndTheFolder();
    void itemPathOutsideTheListIsAnError();
    void clickReportsEachChangedItemOnceWithTheFocusedOneLast();
    void shiftClickReportsTheRangeWithTheFocusedOneLast();
    void selectingAllReportsAllItemsAtOnce();
    void largeScatteredSelectionsBehaveAsSmallOnes_data();
    void largeScatteredSelectionsBehaveAsSmallOnes();
    void refreshReadsTheFolderAgainWithNothingSelected();
    void renamingInPlaceRenamesTheFileButNeverReplacesOne_data();
    void renamingInPlaceRenamesTheFileButNeverReplacesOne();
    void doubleClickOnAFileHandsItToTheDesktop();
    void gameDetailColumnsShowThePanesValuesAndFollowChanges();
    void headerClickSortsFoldersFirstBlanksLast_data();
    void headerClickSortsFoldersFirstBlanksLast();
    void rowsKeepTheirOrderWhileHeld();
    void gameDetailColumnsReadTheRowsScrolledToFirst_data();
    void gameDetailColumnsReadTheRowsScrolledToFirst();

    void slowFolderShowsWhatHasArrivedWithTheSelectionOnItsItems();
    void hungListingGivesWayToARefreshAndToAnotherFolder();
    void listingCopesWithOddEntriesChangesAndFailures_data();
    void listingCopesWithOddEntriesChangesAndFailures();

private:
    void Show(QWidget& widget);
    // A folder of game files and others, listed with the game-detail columns filled.
    void ListGameFiles();
    QStringList Row(const QString& name) const;
    void ClickHeader(int section);

    std::unique_ptr<GameFolder> folder_;
    std::unique_ptr<QWidget> window_;
    TShellTreeView* tree_ = nullptr;
    TShellListView* list_ = nullptr;
};

void ShellViewsTest::initTestCase()
{
    QApplication::setApplicationDisplayName(QString::fromLatin1(lmp::gui::kApplicationTitle));
}

void ShellViewsTest::init()
{
    folder_ = std::make_unique<GameFolder>();
    window_ = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(window_.get());
    tree_ = new TShellTreeView;
    list_ = new TShellListView;
    layout->addWidget(tree_);
    layout->addWidget(list_);
    window_->resize(900, 500);
}

void ShellViewsTest::cleanup()
{
    window_.reset();
    folder_.reset();
}

void ShellViewsTest::Show(QWidget& widget)
{
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

void ShellViewsTest::treeRootIsTheDesktopHoldingTheFileSystemRootAndHome()
{
    const QAbstractItemModel& model = *tree_->model();
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex desktop = model.index(0, 0);
    QCOMPARE(desktop.data().toString(), QStringLiteral("Desktop"));
    QCOMPARE(tree_->currentIndex(), desktop);
    QVERIFY(tree_->isExpanded(desktop));
    QCOMPARE(tree_->Path(), QString());

    QCOMPARE(model.rowCount(desktop), 2);
    QCOMPARE(model.index(0, 0, desktop).data().toString(), QStringLiteral("/"));
    QCOMPARE(model.index(1, 0, desktop).data().toString(), QDir::home().dirName());

    tree_->setCurrentIndex(model.index(1, 0, desktop));
    QCOMPARE(tree_->Path(), QDir::homePath());
}

void ShellViewsTest::treeListsFoldersOnlyInNaturalOrder()
{
    folder_->AddFolder("b10");
    folder_->AddFolder("B2");
    folder_->AddFolder("a");
    folder_->AddFolder(".hidden");
    folder_->AddFile("z.txt", "text");
    std::filesystem::create_directory(lmp::gui::NativePath(folder_->Path()) / "Caf\xe9");
    tree_->SetPath(folder_->Path());
    Show(*window_);

    const QModelIndex node = tree_->currentIndex();
    tree_->expand(node);
    const QAbstractItemModel& model = *tree_->model();
    QTRY_COMPARE(model.rowCount(node), 4);
    QStringList captions;
    for (int row = 0; row < model.rowCount(node); ++row) {
        captions << model.index(row, 0, node).data().toString();
    }
    QCOMPARE(captions, (QStringList{"a", "B2", "b10", QString::fromUtf8("Caf\uFFFD")}));
    // A name that is not UTF-8 is selected by its path and leads back to its own bytes.
    tree_->setCurrentIndex(model.index(3, 0, node));
    QCOMPARE(lmp::gui::NativePath(tree_->Path()), lmp::gui::NativePath(folder_->Path()) / "Caf\xe9");
    tree_->SetPath(folder_->Path());
    tree_->SetPath(lmp::gui::PathText(lmp::gui::NativePath(folder_->Path()) / "Caf\xe9"));
    QCOMPARE(tree_->currentIndex(), model.index(3, 0, node));
}

void ShellViewsTest::treeSelectsTheFolderOfAPath()
{
    folder_->AddFolder("Parks/Saved");
    QSignalSpy changes(tree_, &TShellTreeView::Change);
    const QString path = folder_->PathOf("Parks/Saved");

    tree_->SetPath(path + "/");

    QCOMPARE(tree_->Path(), path);
    QCOMPARE(tree_->currentIndex().data().toString(), QStringLiteral("Saved"));
    QVERIFY(tree_->isExpanded(tree_->currentIndex().parent()));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.front().front().toString(), path);

    tree_->SetPath(path);
    QCOMPARE(changes.count(), 1);
}

void ShellViewsTest::treeReachesAFolderThroughAHiddenOne()
{
    folder_->AddFolder(".cache/parks");
    tree_->SetPath(folder_->PathOf(".cache/parks"));
    QCOMPARE(tree_->Path(), folder_->PathOf(".cache/parks"));
    QCOMPARE(tree_->currentIndex().parent().data().toString(), QStringLiteral(".cache"));
}

void ShellViewsTest::pathThatDoesNotResolveIsRejected_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing folder") << "gone";
    QTest::newRow("a file") << "notes.txt";
    QTest::newRow("below a file") << "notes.txt/inner";
}

void ShellViewsTest::pathThatDoesNotResolveIsRejected()
{
    QFETCH(QString, name);
    folder_->AddFile("notes.txt", "text");
    tree_->SetPath(folder_->Path());
    const QString path = folder_->PathOf(name);
    try {
        tree_->SetPath(path);
        QFAIL("no error");
    } catch (const lmp::gui::PathError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), "Error setting path: \"" + path + "\"");
    }
    QCOMPARE(tree_->Path(), folder_->Path());
}

void ShellViewsTest::treeRefreshRereadsTheFolderOrFallsBackToTheNearestOneLeft_data()
{
    QTest::addColumn<QString>("removed"); // from "Parks/Saved", selected before
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("selected");    // after the refresh, "." for the folder itself
    QTest::addColumn<QStringList>("folders"); // below the selected one
    QTest::newRow("nothing changed") << ""
                                     << ""
                                     << "Parks/Saved" << QStringList{};
    QTest::newRow("a folder made since") << ""
                                         << "Parks/Saved/New"
                                         << "Parks/Saved" << QStringList{"New"};
    QTest::newRow("the selected folder gone") << "Parks/Saved"
                                              << "Parks/Old"
                                              << "Parks" << QStringList{"Old"};
    QTest::newRow("its parent gone too") << "Parks"
                                         << ""
                                         << "." << QStringList{"Other"};
}

void ShellViewsTest::treeRefreshRereadsTheFolderOrFallsBackToTheNearestOneLeft()
{
    QFETCH(QString, removed);
    QFETCH(QString, made);
    QFETCH(QString, selected);
    QFETCH(QStringList, folders);
    folder_->AddFolder("Parks/Saved");
    folder_->AddFolder("Other");
    tree_->SetPath(folder_->PathOf("Parks/Saved"));
    tree_->expand(tree_->currentIndex());
    if (!removed.isEmpty()) {
        QVERIFY(QDir(folder_->PathOf(removed)).removeRecursively());
    }
    if (!made.isEmpty()) {
        folder_->AddFolder(made);
    }

    tree_->Refresh();

    QCOMPARE(tree_->Path(), QDir::cleanPath(folder_->PathOf(selected)));
    const QModelIndex node = tree_->currentIndex();
    const auto captions = [&] {
        QStringList found;
        for (int row = 0; row < tree_->model()->rowCount(node); ++row) {
            found << tree_->model()->index(row, 0, node).data().toString();
        }
        return found;
    };
    // The folders are read again on a thread of their own.
    QTRY_COMPARE(captions(), folders);
}

void ShellViewsTest::listShowsFoldersFirstThenNaturalNameOrder()
{
    folder_->AddFile("track10.TD4", "");
    folder_->AddFile("Track2.TD4", "");
    folder_->AddFile("a.txt", "");
    folder_->AddFolder("zdir");
    folder_->AddFolder("Adir");
    list_->SetFolder(folder_->Path());
    QTRY_COMPARE(list_->ItemCount(), 5);
    QCOMPARE(ItemNames(*list_), (QStringList{"Adir", "zdir", "a.txt", "Track2.TD4", "track10.TD4"}));
    QCOMPARE(list_->ItemPath(3), folder_->PathOf("Track2.TD4"));
}

void ShellViewsTest::listIsAReportOfNameSizeTypeAndDate()
{
    // The Folder column stays hidden while the list shows a folder.
    QCOMPARE(list_->model()->columnCount(), int(lmp::gui::FileListModel::OwnColumns));
    QVERIFY(list_->header()->isSectionHidden(lmp::gui::FileListModel::FolderColumn));
    QStringList headers;
    for (int column = 0; column < 4; ++column) {
        headers << list_->model()->headerData(column, Qt::Horizontal).toString();
    }
    QCOMPARE(headers, (QStringList{"Name", "Size", "Type", "Date Modified"}));
    QCOMPARE(list_->selectionMode(), QAbstractItemView::ExtendedSelection);
}

void ShellViewsTest::listShowsTheFileSystemRootsForTheDesktop()
{
    QCOMPARE(list_->Folder(), QString());
    QTRY_COMPARE(list_->ItemCount(), 1);
    QCOMPARE(list_->ItemPath(0), QStringLiteral("/"));
}

void ShellViewsTest::nameThatIsNoUtf8IsListedWithItsOwnBytes()
{
    const std::string name = "Caf\xe9 latin1.TD4";
    std::ofstream(lmp::gui::NativePath(folder_->Path()) / name) << "bytes";
    folder_->AddFile("Cafe.TD4", "");
    list_->SetFolder(folder_->Path());
    QTRY_COMPARE(list_->ItemCount(), 2);
    QCOMPARE(list_->Caption(1), QString::fromUtf8("Caf\uFFFD latin1.TD4"));
    QCOMPARE(list_->ItemFile(1).filename().native(), name);
    QCOMPARE(list_->model()->index(1, 2).data().toString(), QStringLiteral("Track design"));
    // A folder of such a name opens and lists its files.
    const std::filesystem::path inner = lmp::gui::NativePath(folder_->Path()) / "Caf\xe9 folder";
    std::filesystem::create_directory(inner);
    std::ofstream(inner / "Inner.TD4") << "bytes";
    list_->Refresh();
    QTRY_COMPARE(list_->ItemCount(), 3);
    emit list_->activated(list_->model()->index(0, 0));
    QCOMPARE(lmp::gui::NativePath(list_->Folder()), inner);
    QTRY_COMPARE(list_->ItemCount(), 1);
    QCOMPARE(list_->ItemFile(0), inner / "Inner.TD4");
}

void ShellViewsTest::selectionFlagsFollowTheSelectionAndTheFolder_data()
{
    QTest::addColumn<QList<int>>("clicked"); // Ctrl-clicked in order
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("made"); // on disk afterwards
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QStringList>("selected");
    QTest::newRow("scattered") << QList<int>{0, 2, 4} << false << ""
                               << "" << QStringList{"b.txt", "d.txt", "f.txt"};
    QTest::newRow("one clicked twice") << QList<int>{0, 2, 0} << false << ""
                                       << "" << QStringList{"d.txt"};
    QTest::newRow("all") << QList<int>{1} << true << ""
                         << "" << QStringList{"b.txt", "c.txt", "d.txt", "e.txt", "f.txt"};
    QTest::newRow("a file arriving before them") << QList<int>{1, 3} << false << "a.txt"
                                                 << "" << QStringList{"c.txt", "e.txt"};
    QTest::newRow("a selected file leaving") << QList<int>{1, 2, 3} << false << ""
                                             << "d.txt" << QStringList{"c.txt", "e.txt"};
}

void ShellViewsTest::selectionFlagsFollowTheSelectionAndTheFolder()
{
    QFETCH(QList<int>, clicked);
    QFETCH(bool, selectAll);
    QFETCH(QString, made);
    QFETCH(QString, removed);
    QFETCH(QStringList, selected);
    for (const char* name : {"b.txt", "c.txt", "d.txt", "e.txt", "f.txt"}) {
        folder_->AddFile(name, "");
    }
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 5);
    for (const int row : clicked) {
        ClickItem(*list_, row, Qt::ControlModifier);
    }
    if (selectAll) {
        QTest::keyClick(list_, Qt::Key_A, Qt::ControlModifier);
    }
    const unsigned contents = list_->ContentsVersion();
    if (!made.isEmpty()) {
        folder_->AddFile(made, "");
        QTRY_COMPARE(list_->ItemCount(), 6);
    }
    if (!removed.isEmpty()) {
        QVERIFY(QFile::remove(folder_->PathOf(removed)));
        QTRY_COMPARE(list_->ItemCount(), 4);
    }

    QStringList names;
    for (int row = 0; row < list_->ItemCount(); ++row) {
        QCOMPARE(list_->Selected(row), list_->selectionModel()->isSelected(list_->model()->index(row, 0)));
        if (list_->Selected(row)) {
            names << list_->Caption(row);
        }
    }
    QCOMPARE(names, selected);
    QCOMPARE(list_->SelectionCount(), selected.size());
    QCOMPARE(list_->ContentsVersion() != contents, !made.isEmpty() || !removed.isEmpty());
}

void ShellViewsTest::itemPathOutsideTheListIsAnError()
{
    folder_->AddFile("a.txt", "");
    list_->SetFolder(folder_->Path());
    QTRY_COMPARE(list_->ItemCount(), 1);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list_->ItemPath(-1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list_->ItemPath(1));
    QVERIFY(!list_->Selected(1));
    QVERIFY(!list_->Focused(-1));
}

void ShellViewsTest::clickReportsEachChangedItemOnceWithTheFocusedOneLast()
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        folder_->AddFile(name, "");
    }
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 3);
    ClickItem(*list_, 2);
    QSignalSpy changes(list_, &TShellListView::Change);

    ClickItem(*list_, 0);

    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes[0].front().toInt(), 2);
    QCOMPARE(changes[1].front().toInt(), 0);
    QVERIFY(list_->Selected(0) && list_->Focused(0));
    QCOMPARE(list_->SelectionCount(), 1);
}

void ShellViewsTest::shiftClickReportsTheRangeWithTheFocusedOneLast()
{
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
        folder_->AddFile(name, "");
    }
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 4);
    ClickItem(*list_, 3);
    QSignalSpy changes(list_, &TShellListView::Change);

    ClickItem(*list_, 1, Qt::ShiftModifier);

    QList<int> reported;
    for (const QList<QVariant>& change : changes) {
        reported << change.front().toInt();
    }
    QCOMPARE(reported, (QList<int>{2, 3, 1}));
    QCOMPARE(list_->SelectionCount(), 3);
    QVERIFY(list_->Focused(1));
}

void ShellViewsTest::largeScatteredSelectionsBehaveAsSmallOnes_data()
{
    // Beyond a few hundred ranges the list takes the selection model's steps itself, at a cost that grows
    // with the ranges rather than with their product; the results must be the selection model's.
    QTest::addColumn<int>("files");
    QTest::newRow("a few ranges, the selection model's own steps") << 20;
    QTest::newRow("hundreds of ranges, the list's") << 700;
}

void ShellViewsTest::largeScatteredSelectionsBehaveAsSmallOnes()
{
    QFETCH(int, files);
    for (int file = 0; file < files; ++file) {
        // Each file a size of its own, the largest first: sorted by size, the order reverses.
        folder_->AddFile(QStringLiteral("f%1.txt").arg(file, 4, 10, QLatin1Char('0')),
                         QByteArray(files - file, 'x'));
    }
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), files);
    const auto selectedNames = [this] {
        QStringList names;
        for (int row = 0; row < list_->ItemCount(); ++row) {
            if (list_->Selected(row)) {
                names << list_->Caption(row);
            }
            [&] {
                QCOMPARE(list_->selectionModel()->isSelected(list_->model()->index(row, 0)),
                         list_->Selected(row));
            }();
        }
        return names;
    };
    QStringList even;
    QStringList evenAndFromTheSecond;
    std::vector<int> evenRows;
    for (int row = 0; row < files; ++row) {
        if (row % 2 == 0) {
            evenRows.push_back(row);
            even << list_->Caption(row);
        }
        if (row % 2 == 0 || (row >= 1 && row < files - 1)) {
            evenAndFromTheSecond << list_->Caption(row);
        }
    }
    list_->SelectItems(evenRows);
    // A re-sort keeps the selected items, and sorting back restores the order.
    list_->SortBy(lmp::gui::FileListModel::SizeColumn, Qt::AscendingOrder);
    QTRY_COMPARE(list_->Caption(0), QStringLiteral("f%1.txt").arg(files - 1, 4, 10, QLatin1Char('0')));
    QCOMPARE(list_->SelectionCount(), static_cast<int>(even.size()));
    list_->SortBy(lmp::gui::FileListModel::NameColumn, Qt::AscendingOrder);
    QTRY_COMPARE(selectedNames(), even);

    // Shift-extensions from one anchor keep what was selected and replace each other's range.
    list_->setFocus();
    list_->selectionModel()->setCurrentIndex(list_->model()->index(1, 0), QItemSelectionModel::NoUpdate);
    QTest::keyClick(list_, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(list_, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(selectedNames(), evenAndFromTheSecond);
    // A plain click then leaves one item; Ctrl+A selects all.
    ClickItem(*list_, 3);
    QCOMPARE(selectedNames(), QStringList{list_->Caption(3)});
    list_->SelectItems(evenRows);
    QTest::keyClick(list_, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(list_->SelectionCount(), files);
    QCOMPARE(selectedNames().size(), files);
}

void ShellViewsTest::selectingAllReportsAllItemsAtOnce()
{
    for (const char* name : {"a.txt", "b.txt"}) {
        folder_->AddFile(name, "");
    }
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 2);
    ClickItem(*list_, 0);
    QSignalSpy changes(list_, &TShellListView::Change);

    QTest::keyClick(list_, Qt::Key_A, Qt::ControlModifier);

    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.front().front().toInt(), TShellListView::kAllItems);
    QCOMPARE(list_->SelectionCount(), 2);
}

void ShellViewsTest::refreshReadsTheFolderAgainWithNothingSelected()
{
    folder_->AddFile("a.txt", "");
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 1);
    ClickItem(*list_, 0);
    folder_->AddFile("b.txt", "");
    QSignalSpy changes(list_, &TShellListView::Change);

    list_->Refresh();

    QTRY_COMPARE(list_->ItemCount(), 2);
    QCOMPARE(ItemNames(*list_), (QStringList{"a.txt", "b.txt"}));
    QCOMPARE(list_->SelectionCount(), 0);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.front().front().toInt(), TShellListView::kAllItems);
}

void ShellViewsTest::renamingInPlaceRenamesTheFileButNeverReplacesOne_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("message");
    QTest::newRow("a free name") << "New Name.TD4" << QStringList{"New Name.TD4", "Taken.TD4"} << "";
    QTest::newRow("a name taken") << "Taken.TD4" << QStringList{"Old Name.TD4", "Taken.TD4"}
                                  << "Cannot rename Old Name.TD4: Taken.TD4 already exists.";
    QTest::newRow("a name with a slash")
        << "Parks/New.TD4" << QStringList{"Old Name.TD4", "Taken.TD4"}
        << "Cannot rename Old Name.TD4 to Parks/New.TD4: a name cannot hold /.";
}

void ShellViewsTest::renamingInPlaceRenamesTheFileButNeverReplacesOne()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, files);
    QFETCH(QString, message);
    folder_->AddFile("Old Name.TD4", "bytes");
    folder_->AddFile("Taken.TD4", "taken");
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 2);
    QSignalSpy failures(list_, &TShellListView::RenameFailed);
    ClickItem(*list_, 0);
    list_->setFocus();

    QTest::keyClick(list_, Qt::Key_F2);
    const QPointer<QLineEdit> editor = list_->findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    QTRY_COMPARE(editor->selectedText(), QStringLiteral("Old Name"));
    editor->selectAll();
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);

    // The editor hands its text over, then goes.
    QTRY_VERIFY(editor.isNull());
    QTRY_COMPARE(ItemNames(*list_), files);
    QCOMPARE(QDir(folder_->Path()).entryList(QDir::Files, QDir::Name), files);
    QFile renamed(folder_->PathOf(files.front()));
    QVERIFY(renamed.open(QIODevice::ReadOnly));
    QCOMPARE(renamed.readAll(), QByteArray("bytes"));
    QFile taken(folder_->PathOf("Taken.TD4"));
    QVERIFY(taken.open(QIODevice::ReadOnly));
    QCOMPARE(taken.readAll(), QByteArray("taken"));
    QCOMPARE(failures.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(failures.front().front().toString(), message);
    }
}

void ShellViewsTest::doubleClickOnAFileHandsItToTheDesktop()
{
    folder_->AddFile("Park Ideas.txt", "ideas");
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 1);
    DesktopStandIn desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "Open");

    lmp::guitest::DoubleClickItem(*list_, 0);

    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(folder_->PathOf("Park Ideas.txt"))});
    QCOMPARE(list_->Folder(), folder_->Path());
}

QTEST_MAIN(ShellViewsTest)
namespace {

const lmp::testkit::TrackDesignFields kAlpha{
    .rideType = 0, .lengthMetres = 100, .excitement = 67, .intensity = 52, .nausea = 38};
const lmp::testkit::TrackDesignFields kBeta{
    .rideType = 5, .lengthMetres = 1000, .excitement = 10, .intensity = 20, .nausea = 5};
const lmp::testkit::TrackDesignFields kGamma{
    .rideType = 19, .lengthMetres = 250, .excitement = 72, .intensity = 68, .nausea = 45};

QByteArray Bytes(const lmp::testkit::Bytes& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

} // namespace

void ShellViewsTest::ListGameFiles()
{
    lmp::testkit::ParkFields park;
    park.name = "Lakeside";
    park.rating = 650;
    park.guests = 1234;
    park.cash = 105000;
    folder_->AddFolder("Sub.TD4");
    folder_->AddTrackDesign("Alpha.TD4", kAlpha, 0);
    folder_->AddTrackDesign("Beta.TD4", kBeta, 1);
    folder_->AddTrackDesign("Gamma.TD4", kGamma, 2);
    folder_->AddTrackDesign("Damaged.TD4", kAlpha, lmp::kNoEdition);
    folder_->AddFile("Park.SV4", Bytes(lmp::testkit::MakeParkFile(park, lmp::FileType::SavedGame, 1)));
    folder_->AddFile("Alpha.TP4", "image");
    folder_->AddFile("Notes.txt", "");
    auto* details = new lmp::gui::GameDetailsColumns(*list_);
    details->SetShown(true);
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), 8);
    QTRY_COMPARE(details->Pending(), std::size_t{0});
    QTRY_VERIFY(!Row("Gamma.TD4").at(0).isEmpty());
}

// The cells of the game-detail columns (Edition to Cash) of the named item.
QStringList ShellViewsTest::Row(const QString& name) const
{
    const int row = static_cast<int>(ItemNames(*list_).indexOf(name));
    QStringList cells;
    for (int column = lmp::gui::FileListModel::OwnColumns; column < list_->model()->columnCount(); ++column) {
        cells << list_->model()->index(row, column).data().toString();
    }
    return cells;
}

void ShellViewsTest::ClickHeader(int section)
{
    QHeaderView& header = *list_->header();
    list_->horizontalScrollBar()->setValue(header.sectionPosition(section));
    QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header.sectionViewportPosition(section) + 5, header.height() / 2));
}

void ShellViewsTest::gameDetailColumnsShowThePanesValuesAndFollowChanges()
{
    ListGameFiles();
    QStringList headers;
    for (int column = lmp::gui::FileListModel::OwnColumns; column < list_->model()->columnCount(); ++column) {
        headers << list_->model()->headerData(column, Qt::Horizontal).toString();
    }
    QCOMPARE(headers, (QStringList{"Edition", "Ride / Park", "Excitement", "Intensity", "Nausea", "Length",
                                   "Rating", "Guests", "Cash"}));
    const QStringList blank(9, QString());
    const struct {
        const char* name;
        QStringList cells;
        const char* type;
    } rows[] = {
        {"Sub.TD4", blank, "Folder"},
        {"Alpha.TD4",
         {"Original", "Wooden Roller Coaster", "6.70", "5.20", "3.80", "328 ft", "", "", ""},
         "Track design"},
        {"Beta.TD4",
         {"VJ/EM", "Miniature Railroad", "1.00", "2.00", "0.50", "3,280 ft", "", "", ""},
         "Track design"},
        {"Damaged.TD4", blank, "Track design"},
        {"Park.SV4", {"VJ/EM", "Lakeside", "", "", "", "", "650", "1,234", "$10,500"}, "Saved game"},
        {"Alpha.TP4", blank, "Track image"},
        {"Notes.txt", blank, nullptr}, // named by the desktop
    };
    for (const auto& row : rows) {
        QCOMPARE(Row(row.name), row.cells);
        const int item = static_cast<int>(ItemNames(*list_).indexOf(row.name));
        if (row.type != nullptr) {
            QCOMPARE(list_->model()->index(item, 2).data().toString(), QString::fromUtf8(row.type));
        }
    }
    // Columns added to a selection show as selected, and no item is reported changed for them.
    auto* details = list_->findChild<lmp::gui::GameDetailsColumns*>();
    details->SetShown(false);
    const int beta = static_cast<int>(ItemNames(*list_).indexOf("Beta.TD4"));
    list_->SetSelected(beta, true);
    QSignalSpy changes(list_, &lmp::gui::TShellListView::Change);
    details->SetShown(true);
    const int last = list_->model()->columnCount() - 1;
    QVERIFY(list_->selectionModel()->isSelected(list_->model()->index(beta, last)));
    QVERIFY(!list_->selectionModel()->isSelected(list_->model()->index(beta + 1, last)));
    QCOMPARE(list_->SelectionCount(), 1);
    QCOMPARE(changes.count(), 0);
    // The same size, another time: the file is read again once the list sees it changed.
    folder_->AddTrackDesign("Alpha.TD4", kGamma, 2);
    list_->Refresh();
    QTRY_COMPARE(Row("Alpha.TD4").at(1), QStringLiteral("Steel Corkscrew Roller Coaster"));
    QCOMPARE(Row("Beta.TD4").at(2), QStringLiteral("1.00"));
}

void ShellViewsTest::headerClickSortsFoldersFirstBlanksLast_data()
{
    QTest::addColumn<QList<int>>("sections"); // clicked in order
    QTest::addColumn<QStringList>("names");
    const QStringList byName = {"Sub.TD4",     "Alpha.TD4", "Alpha.TP4", "Beta.TD4",
                                "Damaged.TD4", "Gamma.TD4", "Notes.txt", "Park.SV4"};
    QTest::newRow("default") << QList<int>{} << byName;
    QTest::newRow("excitement") << QList<int>{kExcitement}
                                << QStringList{"Sub.TD4",   "Beta.TD4",    "Alpha.TD4", "Gamma.TD4",
                                               "Alpha.TP4", "Damaged.TD4", "Notes.txt", "Park.SV4"};
    QTest::newRow("excitement reversed") << QList<int>{kExcitement, kExcitement}
                                         << QStringList{"Sub.TD4",   "Gamma.TD4",   "Alpha.TD4", "Beta.TD4",
                                                        "Alpha.TP4", "Damaged.TD4", "Notes.txt", "Park.SV4"};
    QTest::newRow("length as numbers")
        << QList<int>{kLength} << QStringList{"Sub.TD4",   "Alpha.TD4",   "Gamma.TD4", "Beta.TD4",
                                              "Alpha.TP4", "Damaged.TD4", "Notes.txt", "Park.SV4"};
    QTest::newRow("cash reversed, blanks still last")
        << QList<int>{kCash, kCash} << QStringList{"Sub.TD4",  "Park.SV4",    "Alpha.TD4", "Alpha.TP4",
                                                   "Beta.TD4", "Damaged.TD4", "Gamma.TD4", "Notes.txt"};
    QTest::newRow("name brings back the default") << QList<int>{kExcitement, kExcitement, 0} << byName;
    QStringList reversed = byName.mid(1);
    std::reverse(reversed.begin(), reversed.end());
    QTest::newRow("name reversed, folders first") << QList<int>{0} << (QStringList{"Sub.TD4"} + reversed);
}

void ShellViewsTest::headerClickSortsFoldersFirstBlanksLast()
{
    QFETCH(QList<int>, sections);
    QFETCH(QStringList, names);
    ListGameFiles();
    ClickItem(*list_, static_cast<int>(ItemNames(*list_).indexOf("Beta.TD4")), Qt::ControlModifier);
    for (const int section : sections) {
        ClickHeader(section);
    }
    QTRY_COMPARE(ItemNames(*list_), names);
    // The selection follows its item.
    QCOMPARE(list_->SelectionCount(), 1);
    QVERIFY(list_->Selected(static_cast<int>(names.indexOf("Beta.TD4"))));
}

void ShellViewsTest::rowsKeepTheirOrderWhileHeld()
{
    bool held = true;
    list_->SetOrderHeld([&held] { return held; });
    ListGameFiles();
    const QStringList before = ItemNames(*list_);
    // Unheld, the click re-sorts at once.
    ClickHeader(kExcitement);
    QCOMPARE(ItemNames(*list_), before);
    held = false;
    QTRY_COMPARE(ItemNames(*list_).at(1), QStringLiteral("Beta.TD4"));
}

// More game files than the columns submit ahead of the rows in view.
constexpr int kLongList = 1500;

void ShellViewsTest::gameDetailColumnsReadTheRowsScrolledToFirst_data()
{
    QTest::addColumn<int>("target"); // the row scrolled to the top
    QTest::newRow("rows already submitted move ahead") << 900;
    QTest::newRow("rows not yet submitted come first") << kLongList - 1;
}

void ShellViewsTest::gameDetailColumnsReadTheRowsScrolledToFirst()
{
    QFETCH(int, target);
    constexpr int kFiles = kLongList;
    // The service's one worker is held until the list has scrolled; the system refuses the others.
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int started = 0;
    lmp::gui::DescribingThreads& threads = lmp::gui::DescribingThreads::Instance();
    threads.SetStarter([&](std::function<void(std::stop_token)> body) -> std::jthread {
        if (started++ > 0) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        return std::jthread([&, body = std::move(body)](std::stop_token stop) {
            std::unique_lock lock(mutex);
            opened.wait(lock, [&] { return open; });
            lock.unlock();
            body(stop);
        });
    });
    const auto release = [&] {
        const std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    };
    const auto restore = qScopeGuard([&] {
        release();
        window_.reset();
        threads.SetStarter(nullptr);
    });
    for (int i = 0; i < kFiles; ++i) {
        folder_->AddTrackDesign(QStringLiteral("Design %1.TD4").arg(i, 4, 10, QLatin1Char('0')), kAlpha, 1);
    }
    auto* details = new lmp::gui::GameDetailsColumns(*list_);
    details->SetShown(true);
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(list_->ItemCount(), kFiles);
    QTRY_COMPARE(details->Pending(), std::size_t{kFiles});

    list_->scrollTo(list_->model()->index(target, 0), QAbstractItemView::PositionAtTop);
    lmp::guitest::ProcessPendingEvents();
    const int top = list_->indexAt(QPoint(0, 0)).row();
    int bottom = list_->indexAt(QPoint(0, list_->viewport()->height() - 1)).row();
    bottom = bottom < 0 ? kFiles - 1 : bottom;
    QVERIFY(top > 0 && bottom >= top);
    // The rows in view known when the first row out of view is: all of them, the worker having read them
    // first (the last of them along with the first of the others, as it reads two files at once).
    int inViewFirst = -1;
    QEventLoop taking;
    connect(list_->model(), &QAbstractItemModel::dataChanged, details, [&] {
        int inView = 0;
        int others = 0;
        for (int row = 0; row < kFiles; ++row) {
            if (details->Find(list_->Files().Item(row)) != nullptr) {
                ++(row >= top && row <= bottom ? inView : others);
            }
        }
        if (inViewFirst < 0 && others > 0) {
            inViewFirst = inView;
            taking.quit();
        }
    });
    QTimer::singleShot(20000, &taking, &QEventLoop::quit);
    release();
    taking.exec();
    QCOMPARE(inViewFirst, bottom - top + 1);
    QTRY_COMPARE(details->Pending(), std::size_t{0});
}

void ShellViewsTest::slowFolderShowsWhatHasArrivedWithTheSelectionOnItsItems()
{
    const QStringList names{"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"};
    for (const QString& name : names) {
        folder_->AddFile(name, "");
    }
    SlowFolder slow(folder_->Path(), 3);
    QSignalSpy listed(list_, &TShellListView::Listed);
    list_->SetFolder(folder_->Path());
    Show(*window_);

    QTRY_COMPARE(list_->ItemCount(), 3);
    QCOMPARE(slow.Waiting(), 1);
    QVERIFY(list_->Listing());
    QStringList shown = ItemNames(*list_);
    QVERIFY(std::is_sorted(shown.begin(), shown.end()));
    ClickItem(*list_, 1);
    slow.Release();

    QTRY_VERIFY(!list_->Listing());
    QCOMPARE(ItemNames(*list_), names);
    const auto clicked = static_cast<int>(names.indexOf(shown.at(1)));
    QVERIFY(list_->Selected(clicked) && list_->Focused(clicked));
    QCOMPARE(list_->SelectionCount(), 1);
    QCOMPARE(listed.count(), 1);
}

void ShellViewsTest::hungListingGivesWayToARefreshAndToAnotherFolder()
{
    folder_->AddFolder("Sub");
    folder_->AddFile("a.txt", "");
    GameFolder other;
    other.AddFile("x.txt", "");
    SlowFolder slow(folder_->Path(), 1);
    list_->SetFolder(folder_->Path());
    tree_->SetPath(folder_->Path());
    tree_->expand(tree_->currentIndex());
    QTRY_COMPARE(slow.Waiting(), 2);
    QTRY_COMPARE(list_->ItemCount(), 1);

    list_->Refresh();
    QCOMPARE(list_->ItemCount(), 0);
    QTRY_COMPARE(slow.Waiting(), 3);
    QTRY_COMPARE(list_->ItemCount(), 1);
    list_->SetFolder(other.Path());
    tree_->SetPath(other.Path());
    QTRY_VERIFY(!list_->Listing());
    QCOMPARE(ItemNames(*list_), QStringList{"x.txt"});
    QCOMPARE(tree_->Path(), other.Path());

    // What the given-up readings read once the folder answers again goes nowhere.
    slow.Release();
    QTRY_COMPARE(slow.Waiting(), 0);
    QTest::qWait(250);
    QCOMPARE(ItemNames(*list_), QStringList{"x.txt"});
}

void ShellViewsTest::listingCopesWithOddEntriesChangesAndFailures_data()
{
    QTest::addColumn<QString>("change"); // made while the reading waits after its first entry
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QStringList>("names"); // in the end; for a failed reading, its first entry only
    QTest::newRow("a pipe, a socket and a dangling link")
        << "odd" << false << QStringList{"a.txt", "b.txt", "dangling", "pipe", "socket"};
    QTest::newRow("files added and removed") << "files" << false << QStringList{"b.txt", "c.txt"};
    QTest::newRow("the folder deleted") << "folder" << false << QStringList{};
    QTest::newRow("a reading that fails") << "" << true << QStringList{};
}

void ShellViewsTest::listingCopesWithOddEntriesChangesAndFailures()
{
    QFETCH(QString, change);
    QFETCH(bool, fails);
    QFETCH(QStringList, names);
    folder_->AddFile("a.txt", "");
    folder_->AddFile("b.txt", "");
    const std::string path = lmp::gui::NativePath(folder_->Path()).string();
    if (change == "odd") {
        QCOMPARE(::mkfifo((path + "/pipe").c_str(), 0600), 0);
        QCOMPARE(::symlink("nowhere", (path + "/dangling").c_str()), 0);
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string name = path + "/socket";
        QVERIFY(name.size() < sizeof address.sun_path);
        std::copy(name.begin(), name.end(), address.sun_path);
        QCOMPARE(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(socket);
    }
    SlowFolder slow(folder_->Path(), 1,
                    fails ? std::make_error_code(std::errc::io_error) : std::error_code());
    list_->SetFolder(folder_->Path());
    Show(*window_);
    QTRY_COMPARE(slow.Waiting(), 1);
    if (change == "files") {
        folder_->AddFile("c.txt", "");
        QVERIFY(QFile::remove(folder_->PathOf("a.txt")));
    } else if (change == "folder") {
        QVERIFY(QDir(folder_->Path()).removeRecursively());
    }
    slow.Release();

    QTRY_VERIFY(!list_->Listing());
    if (fails) {
        QCOMPARE(list_->ItemCount(), 1);
    } else {
        QTRY_COMPARE(ItemNames(*list_), names);
    }
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

#include "ShellViewsTest.moc"
