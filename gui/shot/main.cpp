// lmpexplorer-shot: opens the explorer window at a folder, a little larger than at design so that the
// pane shows a few descriptions whole, selects the named files as a click and then Ctrl-clicks would,
// and saves a picture of the window as the display shows it. The tree shows only the folder's own branch,
// so that no other folder of the machine is in the picture. With --details first, the list shows the
// game-detail columns sorted by excitement, highest first, in a wider window. Run it under Xvfb with a
// configuration folder of its own, as the details choice is remembered for the user:
//   XDG_CONFIG_HOME=$(mktemp -d) xvfb-run -s "-screen 0 1280x768x24" lmpexplorer-shot [--details] FOLDER
//   OUT.png NAME...
#include <functional>
#include <iostream>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QScreen>
#include <QSplitter>
#include <QThread>

#include "gui/about/AboutBox.h"
#include "gui/main/MainForm.h"
#include "gui/main/StatusSummary.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

namespace {

bool WaitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 10000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

int RowNamed(const lmp::gui::TShellListView& list, const QString& name)
{
    for (int row = 0; row < list.ItemCount(); ++row) {
        if (QFileInfo(list.ItemPath(row)).fileName() == name) {
            return row;
        }
    }
    return -1;
}

// Hides every row of the tree that is neither the current folder nor above it, nor inside it.
void ShowOnlyTheFolderBranch(QTreeView& tree)
{
    for (QModelIndex index = tree.currentIndex(); index.isValid(); index = index.parent()) {
        const QModelIndex parent = index.parent();
        for (int row = 0; row < tree.model()->rowCount(parent); ++row)
            tree.setRowHidden(row, parent, row != index.row());
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
    const bool details = arguments.size() > 1 && arguments[1] == QStringLiteral("--details");
    if (details)
        arguments.removeAt(1);
    if (arguments.size() < 4) {
        std::cerr << "usage: lmpexplorer-shot [--details] FOLDER OUT.png NAME...\n";
        return 2;
    }
    const QString folder = QDir(arguments[1]).absolutePath();

    lmp::gui::TMainForm form;
    lmp::gui::TAboutBox about(&form);
    auto& tree = lmp::gui::PartNamed<lmp::gui::TShellTreeView>(form, "ShellTreeView1");
    auto& list = lmp::gui::PartNamed<lmp::gui::TShellListView>(form, "ShellListView1");
    try {
        tree.SetPath(folder);
    } catch (const std::exception& error) {
        std::cerr << "lmpexplorer-shot: " << error.what() << '\n';
        return 1;
    }
    // The toolbar and the status bar take about 60 pixels of the height.
    form.resize(details ? 1280 : 760, details ? 768 : 700);
    form.move(form.screen()->availableGeometry().topLeft());
    form.show();
    int loaded = -1;
    // The list has loaded once its item count holds still for a while.
    const bool ready = WaitUntil([&] {
        const int count = list.ItemCount();
        const bool settled = count > 0 && count == loaded;
        loaded = count;
        return settled && form.isVisible();
    });
    if (!ready) {
        std::cerr << "lmpexplorer-shot: the folder did not load\n";
        return 1;
    }

    if (details) {
        auto& gameDetails = lmp::gui::PartNamed<QAction>(form, "GameDetails1");
        if (!gameDetails.isChecked())
            gameDetails.trigger();
        // The tree as narrow as in the plain picture, so the list has room for its new columns.
        lmp::gui::PartNamed<QSplitter>(form, "UpperHorizSplitter").setSizes({270, form.width() - 270});
        constexpr int kExcitementColumn = lmp::gui::FileListModel::OwnColumns + 2;
        list.SortBy(kExcitementColumn, Qt::DescendingOrder);
        // The cells fill in the background; the samples take a moment at most.
        int settled = 0;
        WaitUntil([&] { return ++settled > 50; });
    }
    for (int i = 3; i < arguments.size(); ++i) {
        const int row = RowNamed(list, arguments[i]);
        if (row < 0) {
            std::cerr << "lmpexplorer-shot: no item " << arguments[i].toStdString() << '\n';
            return 1;
        }
        const auto command = i == 3 ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select;
        list.selectionModel()->setCurrentIndex(list.model()->index(row, 0, list.rootIndex()),
                                               command | QItemSelectionModel::Rows);
    }
    ShowOnlyTheFolderBranch(tree);
    tree.scrollTo(tree.currentIndex());
    list.setFocus();
    // The descriptions come from worker threads: the pane is whole once none is pending.
    WaitUntil([&] { return !form.DescribingPending(); });
    // The status bar's counts follow with its next tick.
    QElapsedTimer settling;
    settling.start();
    WaitUntil([&] { return settling.elapsed() > 2 * lmp::gui::StatusSummary::kIntervalMs; });
    int frames = 0;
    WaitUntil([&] { return ++frames > 10; });

    const QRect frame = form.frameGeometry();
    const QPixmap shot = form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(arguments[2], "PNG")) {
        std::cerr << "lmpexplorer-shot: cannot write " << arguments[2].toStdString() << '\n';
        return 1;
    }
    return 0;
}
