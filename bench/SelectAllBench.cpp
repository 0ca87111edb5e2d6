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
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <ctime>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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
    QElapsedTimer sinceBeat;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceBeat.nsecsElapsed());
        sinceBeat.start();
    });
    heartbeat.start(1);
    QElapsedTimer command;
    command.start();
    sinceBeat.start();
    QAction& selectOriginals = lmp::gui::PartNamed<QAction>(*form, "SelectAllOriginalLMPfiles1");
    selectOriginals.trigger();
    longestGap = std::max(longestGap, sinceBeat.nsecsElapsed());
    heartbeat.stop();
    std::printf("heartbeat: longest gap %.1f ms during a Select All of %.0f ms\n",
                static_cast<double>(longestGap) / 1e6, static_cast<double>(command.nsecsElapsed()) / 1e6);

    QElapsedTimer closing;
    QTimer::singleShot(300, form.get(), [&] {
        closing.start();
        form->close();
    });
    selectOriginals.trigger();
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
        lmp::gui::PartNamed<QAction>(form, "SelectAllOriginalLMPfiles1").trigger();
        wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(wall.begin(), wall.end());
    std::printf("select-all-cold edition 0: %.1f ms wall, median of %d, %d selected\n", wall[wall.size() / 2],
                runs, lmp::gui::PartNamed<lmp::gui::TShellListView>(form, "ShellListView1").SelectionCount());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    lmp::sys::KeepLargeBuffersForReuse(); // as the window does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const bool mode =
        argc > 1 && (std::strcmp(argv[1], "--responsiveness") == 0 || std::strcmp(argv[1], "--cold") == 0);
    if (argc < 2 || (mode && argc < 3)) {
        std::fprintf(stderr, "usage: lmp-bench-selectall FOLDER [REPEATS]\n"
                             "       lmp-bench-selectall --responsiveness FOLDER\n"
                             "       lmp-bench-selectall --cold FOLDER [RUNS]\n");
        return 2;
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
            commands[edition]->trigger();
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
