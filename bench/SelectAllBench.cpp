// Times the window's three "Select All ..." commands over a folder, on whatever platform Qt is given
// (offscreen for benchmarks): lmp-bench-selectall FOLDER [REPEATS]. Prints one line per command with
// the fastest run's wall-clock and processor time (all threads) in milliseconds and the number of
// files it selected.
//
// lmp-bench-selectall --responsiveness FOLDER (a folder holding a huge file): the longest gap between
// two beats of a 1 ms heartbeat timer during one "Select All Original LMP files", then how long the
// window takes to close and be gone when closed 300 ms into another.
//
// lmp-bench-selectall --cold FOLDER [RUNS]: the median wall-clock time of RUNS (default 3) "Select All
// Original LMP files", each started right after the page cache was dropped (root only; exits 3 where it
// is refused), the folder already listed.
//
// lmp-bench-selectall --collection FOLDER [COPY] (a folder of first-expansion track designs, each followed
// by its image): the wall-clock time of "Select All VJ/EM files" with the longest gap of a 1 ms heartbeat
// during it, then of Ctrl+A, Ctrl+C in the pane (the text copied written to COPY, as UTF-8), "Refresh
// Description" over its selection, "Select Matching TP4's" and Ctrl+A in the list, each until the window
// has painted; then the pane's resident memory per line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <ctime>

#include <malloc.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include "BenchSupport.h"
#include "gui/main/MainForm.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"
#include "sys/Allocator.h"

namespace {

// The folder model loads asynchronously: wait until it lists every entry of the folder.
bool WaitForItems(const lmp::gui::TShellListView& list, int expected)
{
    QElapsedTimer waited;
    waited.start();
    while (list.ItemCount() < expected) {
        if (waited.elapsed() > 60000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Runs the events until the command that the action started, and the pane's describing, have ended.
void RunToEnd(lmp::gui::TMainForm& form, QAction& action)
{
    action.trigger();
    while (form.DescribingPending()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// The longest time between two beats of a 1 ms timer while it lives.
class Heartbeat {
public:
    Heartbeat()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Beat(); });
        sinceBeat_.start();
        timer_.start(1);
    }
    double LongestGapMs()
    {
        Beat();
        return static_cast<double>(longest_) / 1e6;
    }

private:
    void Beat()
    {
        longest_ = std::max(longest_, sinceBeat_.nsecsElapsed());
        sinceBeat_.start();
    }

    QTimer timer_;
    QElapsedTimer sinceBeat_;
    qint64 longest_ = 0;
};

int OpenFolder(lmp::gui::TMainForm& form, const QString& folder)
{
    const auto entries = static_cast<int>(
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size());
    form.show();
    lmp::gui::PartNamed<lmp::gui::TShellTreeView>(form, "ShellTreeView1").SetPath(folder);
    if (!WaitForItems(lmp::gui::PartNamed<lmp::gui::TShellListView>(form, "ShellListView1"), entries)) {
        std::fprintf(stderr, "the file list did not show %d items\n", entries);
        return 1;
    }
    return 0;
}

int MeasureResponsiveness(const QString& folder)
{
    auto form = std::make_unique<lmp::gui::TMainForm>();
    if (OpenFolder(*form, folder) != 0) {
        return 1;
    }
    QAction& selectOriginals = lmp::gui::PartNamed<QAction>(*form, "SelectAllOriginalLMPfiles1");
    double longestGap = 0;
    QElapsedTimer command;
    command.start();
    {
        Heartbeat heartbeat;
        RunToEnd(*form, selectOriginals);
        longestGap = heartbeat.LongestGapMs();
    }
    std::printf("heartbeat: longest gap %.1f ms during a Select All of %.0f ms\n", longestGap,
                static_cast<double>(command.nsecsElapsed()) / 1e6);

    QElapsedTimer closing;
    QTimer::singleShot(300, form.get(), [&] {
        closing.start();
        form->close();
    });
    RunToEnd(*form, selectOriginals);
    form.reset();
    if (!closing.isValid()) {
        std::fprintf(stderr, "the Select All ended before the window was closed\n");
        return 1;
    }
    std::printf("close: %.1f ms from closing the window during a Select All to its end\n",
                static_cast<double>(closing.nsecsElapsed()) / 1e6);
    return 0;
}

int MeasureCold(const QString& folder, int runs)
{
    lmp::gui::TMainForm form;
    if (OpenFolder(form, folder) != 0) {
        return 1;
    }
    std::vector<double> wall;
    for (int run = 0; run < runs; ++run) {
        if (!DropPageCache()) {
            std::fprintf(stderr, "the page cache cannot be dropped here\n");
            return 3;
        }
        QElapsedTimer timer;
        timer.start();
        RunToEnd(form, lmp::gui::PartNamed<QAction>(form, "SelectAllOriginalLMPfiles1"));
        wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(wall.begin(), wall.end());
    std::printf("select-all-cold edition 0: %.1f ms wall, median of %d, %d selected\n", wall[wall.size() / 2],
                runs, lmp::gui::PartNamed<lmp::gui::TShellListView>(form, "ShellListView1").SelectionCount());
    return 0;
}

// The milliseconds that step takes, the window's painting after it included.
template <typename Step> double Milliseconds(Step&& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    QCoreApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

int MeasureCollection(const QString& folder, const QString& copyPath)
{
    lmp::gui::TMainForm form;
    if (OpenFolder(form, folder) != 0) {
        return 1;
    }
    auto& list = lmp::gui::PartNamed<lmp::gui::TShellListView>(form, "ShellListView1");
    auto& pane = lmp::gui::PartNamed<QPlainTextEdit>(form, "Memo1");
    const auto action = [&form](const char* name) -> QAction& {
        return lmp::gui::PartNamed<QAction>(form, name);
    };
    std::printf("collection: %d items\n", list.ItemCount());

    double gap = 0;
    const double processorStart = ProcessorMilliseconds();
    const double windowStart = ProcessorMilliseconds(CLOCK_THREAD_CPUTIME_ID);
    const double selectAll = Milliseconds([&] {
        Heartbeat heartbeat;
        RunToEnd(form, action("SelectAllVJEMfiles1"));
        gap = heartbeat.LongestGapMs();
    });
    std::printf(
        "collection select-all-vjem: %.1f ms wall, %.1f ms processor, %.1f ms on the window's thread, "
        "%d selected, %d lines, %.1f ms longest gap\n",
        selectAll, ProcessorMilliseconds() - processorStart,
        ProcessorMilliseconds(CLOCK_THREAD_CPUTIME_ID) - windowStart, list.SelectionCount(),
        pane.blockCount(), gap);
    pane.setFocus();
    const double copy = Milliseconds([&] {
        for (const QKeySequence::StandardKey key : {QKeySequence::SelectAll, QKeySequence::Copy}) {
            const QKeyCombination combination = QKeySequence(key)[0];
            QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
            QApplication::sendEvent(&pane, &press);
        }
    });
    const QByteArray copied = QGuiApplication::clipboard()->text().toUtf8();
    std::printf("collection pane-copy: %.1f ms wall, %lld bytes\n", copy,
                static_cast<long long>(copied.size()));
    if (!copyPath.isEmpty()) {
        QFile out(copyPath);
        if (!out.open(QIODevice::WriteOnly) || out.write(copied) != copied.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(copyPath));
            return 1;
        }
    }
    list.setFocus();
    const double refresh = Milliseconds([&] { RunToEnd(form, action("RefreshDescription")); });
    std::printf("collection refresh-description: %.1f ms wall, %d selected, %d lines\n", refresh,
                list.SelectionCount(), pane.blockCount());
    const double matching = Milliseconds([&] { action("SelectMatchingTP4s").trigger(); });
    std::printf("collection select-matching: %.1f ms wall, %d selected\n", matching, list.SelectionCount());
    list.ClearSelection();
    RunToEnd(form, action("SelectAllVJEMfiles1"));
    const double selectEverything = Milliseconds([&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QApplication::sendEvent(&list, &press);
    });
    std::printf("collection ctrl-a: %.1f ms wall, %d selected\n", selectEverything, list.SelectionCount());

    // The pane's share of the resident memory: what emptying it gives back.
    const int lines = pane.blockCount();
    ::malloc_trim(0);
    const long withLines = ResidentBytes();
    pane.clear();
    QCoreApplication::processEvents();
    ::malloc_trim(0);
    std::printf("collection pane: %d lines, %.0f bytes per line\n", lines,
                static_cast<double>(withLines - ResidentBytes()) / std::max(1, lines));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    lmp::sys::KeepLargeBuffersForReuse(lmp::sys::kDescribingBuffersMost); // as the window does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const bool mode =
        argc > 1 && (std::strcmp(argv[1], "--responsiveness") == 0 || std::strcmp(argv[1], "--cold") == 0 ||
                     std::strcmp(argv[1], "--collection") == 0);
    if (argc < 2 || (mode && argc < 3)) {
        std::fprintf(stderr, "usage: lmp-bench-selectall FOLDER [REPEATS]\n"
                             "       lmp-bench-selectall --responsiveness FOLDER\n"
                             "       lmp-bench-selectall --cold FOLDER [RUNS]\n"
                             "       lmp-bench-selectall --collection FOLDER [COPY]\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--collection") == 0) {
        return MeasureCollection(QDir(QString::fromLocal8Bit(argv[2])).absolutePath(),
                                 argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    }
    if (std::strcmp(argv[1], "--cold") == 0) {
        return MeasureCold(QDir(QString::fromLocal8Bit(argv[2])).absolutePath(),
                           argc > 3 ? std::max(1, std::atoi(argv[3])) : 3);
    }
    if (std::strcmp(argv[1], "--responsiveness") == 0) {
        return MeasureResponsiveness(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    lmp::gui::TMainForm form;
    if (OpenFolder(form, folder) != 0) {
        return 1;
    }

    QAction* const commands[] = {&lmp::gui::PartNamed<QAction>(form, "SelectAllOriginalLMPfiles1"),
                                 &lmp::gui::PartNamed<QAction>(form, "SelectAllVJEMfiles1"),
                                 &lmp::gui::PartNamed<QAction>(form, "SelectAllQQfiles1")};
    const auto& list = lmp::gui::PartNamed<lmp::gui::TShellListView>(form, "ShellListView1");
    for (int edition = 0; edition < 3; ++edition) {
        double fastest = std::numeric_limits<double>::infinity();
        double fastestProcessor = std::numeric_limits<double>::infinity();
        double fastestWindow = std::numeric_limits<double>::infinity();
        for (int run = 0; run < repeats; ++run) {
            QElapsedTimer timer;
            const double processorStart = ProcessorMilliseconds();
            const double windowStart = ProcessorMilliseconds(CLOCK_THREAD_CPUTIME_ID);
            timer.start();
            RunToEnd(form, *commands[edition]);
            fastest = std::min(fastest, static_cast<double>(timer.nsecsElapsed()) / 1e6);
            fastestProcessor = std::min(fastestProcessor, ProcessorMilliseconds() - processorStart);
            fastestWindow =
                std::min(fastestWindow, ProcessorMilliseconds(CLOCK_THREAD_CPUTIME_ID) - windowStart);
        }
        std::printf("select-all edition %d: %.1f ms wall, %.1f ms processor, %d selected of %d items, "
                    "%.1f ms processor on the window's thread\n",
                    edition, fastest, fastestProcessor, list.SelectionCount(), list.ItemCount(),
                    fastestWindow);
    }
    return 0;
}
