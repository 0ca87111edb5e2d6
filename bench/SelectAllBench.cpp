// Times the window's three "Select All ..." commands over a folder, on whatever platform Qt is given
// (offscreen for benchmarks): lmp-bench-selectall FOLDER [REPEATS]. Prints one line per command with
// the fastest run's wall-clock and processor time (all threads) in milliseconds and the number of
// files it selected.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <ctime>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include "gui/main/MainForm.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"

namespace {

double ProcessorMilliseconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

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

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: lmp-bench-selectall FOLDER [REPEATS]\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const auto entries = static_cast<int>(
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size());

    lmp::gui::TMainForm form;
    form.show();
    form.ShellTreeView1->SetPath(folder);
    if (!WaitForItems(*form.ShellListView1, entries)) {
        std::fprintf(stderr, "the file list did not show %d items\n", entries);
        return 1;
    }

    QAction* const commands[] = {form.SelectAllOriginalLMPfiles1, form.SelectAllVJEMfiles1,
                                 form.SelectAllQQfiles1};
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
                    edition, fastest, fastestProcessor, form.ShellListView1->SelectionCount(),
                    form.ShellListView1->ItemCount(), fastestWindow);
    }
    return 0;
}
