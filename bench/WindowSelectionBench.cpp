// Times the window's commands over a scattered selection, offscreen: lmp-bench-selection FOLDER
// [REPEATS]. After "Select All Original LMP files" (timed once, not a figure of its own here), prints
// the fastest wall-clock and processor milliseconds of "Select Matching TP4's", "Refresh Description"
// and a press on a selected item until its drag has started, with the number of selected items.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>

#include <ctime>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>

#include "BenchSupport.h"
#include "gui/main/MainForm.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"
#include "sys/Allocator.h"

namespace {

struct Timing {
    double wall = std::numeric_limits<double>::infinity();
    double processor = std::numeric_limits<double>::infinity();
};

// The fastest of repeats runs of step, each after prepare (not timed).
Timing Fastest(int repeats, const std::function<void()>& prepare, const std::function<void()>& step)
{
    Timing best;
    for (int run = 0; run < repeats; ++run) {
        prepare();
        QElapsedTimer timer;
        const double processorStart = ProcessorMilliseconds();
        timer.start();
        step();
        best.wall = std::min(best.wall, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        best.processor = std::min(best.processor, ProcessorMilliseconds() - processorStart);
    }
    return best;
}

void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               const QPoint& position)
{
    QMouseEvent event(type, position, widget.mapToGlobal(position), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

} // namespace

int main(int argc, char* argv[])
{
    lmp::sys::KeepLargeBuffersForReuse(lmp::sys::kDescribingBuffersMost); // as the window does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: lmp-bench-selection FOLDER [REPEATS]\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    lmp::gui::TMainForm form;
    form.show();
    lmp::gui::PartNamed<lmp::gui::TShellTreeView>(form, "ShellTreeView1").SetPath(folder);
    auto& list = lmp::gui::PartNamed<lmp::gui::TShellListView>(form, "ShellListView1");
    auto& selectOriginalsAction = lmp::gui::PartNamed<QAction>(form, "SelectAllOriginalLMPfiles1");
    // The folder is read on a thread of its own.
    while (list.Listing()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    QApplication::processEvents();
    // The select-all command ends asynchronously, and so does the pane's describing.
    const auto runToEnd = [&form] {
        while (form.DescribingPending()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };
    const auto selectOriginals = [&] {
        selectOriginalsAction.trigger();
        runToEnd();
    };
    const Timing selectAll = Fastest(
        1, [] {}, selectOriginals);
    const int designs = list.SelectionCount();

    const Timing matching = Fastest(repeats, selectOriginals, [&] {
        lmp::gui::PartNamed<QAction>(form, "SelectMatchingTP4s").trigger();
    });
    const int selected = list.SelectionCount();
    // The descriptions come from worker threads: the refresh has ended once none is pending.
    const Timing refresh = Fastest(
        repeats, [] {},
        [&] {
            lmp::gui::PartNamed<QAction>(form, "RefreshDescription").trigger();
            runToEnd();
        });

    // The last selected item, brought into view; the drag goes right past the threshold.
    int item = list.ItemCount() - 1;
    while (item > 0 && !list.Selected(item)) {
        --item;
    }
    const QModelIndex index = list.model()->index(item, 0);
    list.scrollTo(index);
    QApplication::processEvents();
    const QPoint start = list.visualRect(index).center();
    const QPoint past = start + QPoint(QApplication::startDragDistance() + 2, 0);
    bool dragged = true;
    const Timing drag = Fastest(
        repeats, [] {},
        [&] {
            // As a hand moves: a first step within the threshold, then past it.
            SendMouse(*list.viewport(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, start);
            SendMouse(*list.viewport(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton,
                      start + QPoint(1, 0));
            SendMouse(*list.viewport(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, past);
            dragged = dragged && !list.DragPending();
            SendMouse(*list.viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, past);
        });

    std::printf("items: %d, select-all edition 0: %.1f ms wall, %d selected\n", list.ItemCount(),
                selectAll.wall, designs);
    std::printf("select-matching: %.1f ms wall, %.1f ms processor, %d selected\n", matching.wall,
                matching.processor, selected);
    std::printf("refresh-description: %.1f ms wall, %.1f ms processor, %d selected\n", refresh.wall,
                refresh.processor, list.SelectionCount());
    std::printf("press-to-drag: %.1f ms wall, %.1f ms processor, %d selected%s\n", drag.wall, drag.processor,
                list.SelectionCount(), dragged ? "" : " (no drag started)");
    return dragged && list.SelectionCount() == selected ? 0 : 1;
}
