// Times the window's listing of a large folder and what follows it, offscreen unless QT_QPA_PLATFORM says
// otherwise. Each mode opens the main window, lists FOLDER through the folder tree and prints one line; a 1
// ms heartbeat timer measures the longest time the event loop went without running ("gap").
//
//   lmp-bench-listing listing FOLDER [RUNS]  the fastest wall time from selecting the folder to Listed
//   lmp-bench-listing blocked FOLDER         the longest gap while the list waits on a listing blocked in
//                                            the system and FOLDER is listed meanwhile, then the time to
//                                            close the window and be gone while that listing stays blocked
//   lmp-bench-listing fill FOLDER            Game Details on: the wall time from selecting the folder to
//                                            the last cell filled
//   lmp-bench-listing sort FOLDER [RUNS]     Game Details on and filled: the fastest sort by Excitement
//   lmp-bench-listing visible FOLDER         Game Details on: the wall time from selecting the folder to
//                                            every row on screen filled but for files over 1 GiB
//   lmp-bench-listing search FOLDER QUERY [off]  searches the tree below FOLDER "In subfolders", the cache on
//                                            disk cleared first, then again: for each, the wall time to
//                                            the first match shown and to the search's end, and the gap
//                                            (a 10 ms heartbeat: the search's threads need the processor);
//                                            off: with the cache on disk turned off
//   lmp-bench-listing memory FOLDER off|on   listing (and filling with on), Ctrl+A, a sort (by Excitement
//                                            with on, by Size with off), the pane empty; run it under
//                                            /usr/bin/time -f %M for the peak resident memory
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include "core/Edition.h"
#include "gui/main/MainForm.h"
#include "gui/main/WindowSearch.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/FolderListing.h"
#include "gui/shell/GameDetailsColumns.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"
#include "sys/Allocator.h"
#include "sys/Folder.h"

namespace {

using lmp::gui::PartNamed;
using lmp::gui::TShellListView;
using lmp::gui::TShellTreeView;

constexpr int kExcitementColumn = lmp::gui::FileListModel::OwnColumns + 2;
constexpr int kTimeoutMs = 600'000;

double Milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The longest time the event loop did not run while it was started, in wall time, and the most processor
// time the window's thread spent between two runs: on a loaded machine the first also counts the time the
// system gave other programs.
struct Gap {
    double wall = 0;
    double busy = 0;
};

class Heartbeat {
public:
    Heartbeat()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Beat(); });
    }
    // Every millisecond by default; a longer beat leaves the processor to the work measured.
    void Start(int everyMs = 1)
    {
        gap_ = {};
        since_.start();
        busySince_ = ThreadMilliseconds();
        timer_.start(everyMs);
    }
    Gap Stop()
    {
        Beat();
        timer_.stop();
        return gap_;
    }

private:
    static double ThreadMilliseconds()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }
    void Beat()
    {
        const double busy = ThreadMilliseconds();
        gap_.wall = std::max(gap_.wall, Milliseconds(since_));
        gap_.busy = std::max(gap_.busy, busy - busySince_);
        since_.start();
        busySince_ = busy;
    }

    QTimer timer_;
    QElapsedTimer since_;
    double busySince_ = 0;
    Gap gap_;
};

Gap Longer(const Gap& a, const Gap& b)
{
    return {std::max(a.wall, b.wall), std::max(a.busy, b.busy)};
}

// Runs the event loop until done() holds; false after the time-out.
template <typename Done> bool RunUntil(Done done)
{
    QElapsedTimer waited;
    waited.start();
    // Waits between events instead of polling for them, which would take a processor from the window's
    // worker threads; the timer bounds the wait so that the time-out is seen.
    QTimer wake;
    wake.start(20);
    while (!done()) {
        if (waited.elapsed() > kTimeoutMs) {
            std::fprintf(stderr, "timed out\n");
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct Window {
    std::unique_ptr<lmp::gui::TMainForm> form = std::make_unique<lmp::gui::TMainForm>();
    TShellTreeView& tree = PartNamed<TShellTreeView>(*form, "ShellTreeView1");
    TShellListView& list = PartNamed<TShellListView>(*form, "ShellListView1");
    lmp::gui::GameDetailsColumns& details = *list.findChild<lmp::gui::GameDetailsColumns*>();

    explicit Window(bool gameDetails)
    {
        details.SetShown(gameDetails);
        form->show();
        RunUntil([this] { return !list.Listing(); });
    }

    // Selects the folder in the tree and runs the event loop until the list has read it.
    bool List(const QString& folder)
    {
        tree.SetPath(folder);
        return RunUntil([this] { return !list.Listing(); });
    }
    // Runs the event loop until every item's size and time are in.
    bool Detail()
    {
        return RunUntil([this] { return !list.Files().Detailing(); });
    }
    // Runs the event loop until the columns have read every file listed.
    bool Fill()
    {
        if (!Detail()) {
            return false;
        }
        QCoreApplication::processEvents(); // the columns take the last rows in
        return RunUntil([this] { return details.Pending() == 0; });
    }
};

// The fastest time to Listed, and to the sizes and times of every item, then the longest gap of the
// event loop during one more listing (the heartbeat costs the listing's thread some time of its own).
int Listing(const QString& folder, int runs)
{
    Window window(false);
    double listed = std::numeric_limits<double>::infinity();
    double detailed = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        window.List(QDir::rootPath());
        QElapsedTimer timer;
        timer.start();
        if (!window.List(folder)) {
            return 1;
        }
        listed = std::min(listed, Milliseconds(timer));
        RunUntil([&window] { return !window.list.Files().Detailing(); });
        detailed = std::min(detailed, Milliseconds(timer));
    }
    window.List(QDir::rootPath());
    Heartbeat heartbeat;
    heartbeat.Start();
    window.List(folder);
    RunUntil([&window] { return !window.list.Files().Detailing(); });
    const Gap gap = heartbeat.Stop();
    std::printf("listing: %.1f ms wall to Listed, %.1f ms to every size and time, longest gap %.1f ms (busy "
                "%.1f ms), %d items\n",
                listed, detailed, gap.wall, gap.busy, window.list.ItemCount());
    return 0;
}

// A folder whose reading blocks in the system until the program ends, as on a share that stopped
// answering.
class HungFolder final : public lmp::sys::FolderReader {
public:
    std::optional<lmp::sys::FolderEntry> Next(lmp::sys::EntryDetails) override
    {
        std::unique_lock lock(mutex_);
        never_.wait(lock, [] { return false; });
        return std::nullopt;
    }

private:
    std::mutex mutex_;
    std::condition_variable never_;
};

int Blocked(const QString& folder)
{
    const QString hung = QDir::rootPath() + QStringLiteral("hung");
    lmp::gui::FolderListing::SetOpener(
        [hung, real = lmp::gui::FolderListing::CurrentOpener()](
            const std::filesystem::path& path,
            std::error_code& error) -> std::unique_ptr<lmp::sys::FolderReader> {
            if (path == std::filesystem::path(hung.toStdString())) {
                return std::make_unique<HungFolder>();
            }
            return real(path, error);
        });
    Window window(false);
    Heartbeat heartbeat;
    heartbeat.Start();
    window.list.SetFolder(hung);
    QElapsedTimer waited;
    waited.start();
    RunUntil([&waited] { return waited.elapsed() > 200; });
    const bool listed = window.List(folder);
    window.list.SetFolder(hung);
    waited.start();
    RunUntil([&waited] { return waited.elapsed() > 200; });
    const Gap gap = heartbeat.Stop();
    QElapsedTimer closing;
    closing.start();
    window.form->close();
    window.form.reset();
    std::printf("blocked: longest gap %.1f ms (busy %.1f ms), %s, closed in %.1f ms\n", gap.wall, gap.busy,
                listed ? "the other folder listed meanwhile" : "the other folder NOT listed",
                Milliseconds(closing));
    return listed ? 0 : 1;
}

int Fill(const QString& folder)
{
    Window window(true);
    Heartbeat heartbeat;
    heartbeat.Start();
    QElapsedTimer timer;
    timer.start();
    if (!window.List(folder) || !window.Fill()) {
        return 1;
    }
    const double wall = Milliseconds(timer);
    const Gap gap = heartbeat.Stop();
    int withDetails = 0;
    for (int row = 0; row < window.list.ItemCount(); ++row) {
        withDetails += window.details.Find(window.list.Files().Item(row)) != nullptr ? 1 : 0;
    }
    std::printf("fill: %.1f ms wall, longest gap %.1f ms (busy %.1f ms), %d items, %d with details\n", wall,
                gap.wall, gap.busy, window.list.ItemCount(), withDetails);
    return 0;
}

// The time from a click on a column's header to the rows in their new order.
double Sort(Window& window, int column, Qt::SortOrder order, Gap& gap)
{
    Heartbeat heartbeat;
    heartbeat.Start();
    QElapsedTimer timer;
    timer.start();
    window.list.SortBy(column, order);
    RunUntil([&window] { return !window.list.Files().Sorting(); });
    const double wall = Milliseconds(timer);
    gap = Longer(gap, heartbeat.Stop());
    return wall;
}

int Sorting(const QString& folder, int runs)
{
    Window window(true);
    if (!window.List(folder) || !window.Fill()) {
        return 1;
    }
    double fastest = std::numeric_limits<double>::infinity();
    Gap gap;
    for (int run = 0; run < runs; ++run) {
        fastest = std::min(fastest, Sort(window, kExcitementColumn, Qt::AscendingOrder, gap));
        Gap unused;
        Sort(window, lmp::gui::FileListModel::NameColumn, Qt::AscendingOrder, unused);
    }
    std::printf("sort: %.1f ms wall, longest gap %.1f ms (busy %.1f ms), %d items\n", fastest, gap.wall,
                gap.busy, window.list.ItemCount());
    return 0;
}

int Memory(const QString& folder, bool gameDetails)
{
    Window window(gameDetails);
    if (!window.List(folder) || !window.Detail() || (gameDetails && !window.Fill())) {
        return 1;
    }
    window.list.setFocus();
    window.list.selectAll();
    Gap gap;
    Sort(window, gameDetails ? kExcitementColumn : static_cast<int>(lmp::gui::FileListModel::SizeColumn),
         Qt::AscendingOrder, gap);
    QCoreApplication::processEvents();
    std::printf("memory: %d items, %d selected, Game Details %s\n", window.list.ItemCount(),
                window.list.SelectionCount(), gameDetails ? "on" : "off");
    return 0;
}

// Game Details on, the folder selected: the time until every row on screen that names a game file has its
// details, files above kVisibleSkip bytes left out (the huge files the folder is made to hold).
int VisibleRows(const QString& folder)
{
    constexpr std::uint64_t kVisibleSkip = std::uint64_t{1} << 30;
    Window window(true);
    window.List(QDir::rootPath());
    window.Fill();
    QElapsedTimer timer;
    timer.start();
    window.tree.SetPath(folder);
    const auto shownFilled = [&window] {
        if (window.list.Listing() || window.list.ItemCount() == 0) {
            return false;
        }
        auto& files = window.list.Files();
        const QRect view = window.list.viewport()->rect();
        int shown = 0;
        for (int row = window.list.indexAt(view.topLeft()).row(); row >= 0 && row < window.list.ItemCount();
             ++row) {
            const QModelIndex first = files.index(row, 0);
            if (window.list.visualRect(first).top() > view.bottom()) {
                break;
            }
            ++shown;
            const lmp::gui::FileItem& item = files.Item(row);
            const QString type = files.data(files.index(row, lmp::gui::FileListModel::TypeColumn)).toString();
            if (item.isFolder || files.Stat(item).size > kVisibleSkip ||
                lmp::FileTypeOfName(files.NameBytes(item)) == lmp::FileType::None) {
                continue;
            }
            if (files.data(files.index(row, lmp::gui::FileListModel::OwnColumns)).toString().isEmpty()) {
                return false;
            }
        }
        return shown > 0;
    };
    if (!RunUntil(shownFilled)) {
        return 1;
    }
    std::printf("visible: %.1f ms wall from selecting the folder to every row on screen filled, %d items\n",
                Milliseconds(timer), window.list.ItemCount());
    return 0;
}

int Searching(const QString& folder, const QString& query, bool cached)
{
    Window window(false);
    if (!window.List(folder)) {
        return 1;
    }
    auto& search = *window.form->findChild<lmp::gui::WindowSearch*>();
    auto& bar = PartNamed<lmp::gui::SearchBar>(*window.form, "SearchBar1");
    std::printf("cache: %s\n", search.ClearCache().toLocal8Bit().constData());
    search.SetCacheUsed(cached);
    bar.Subfolders().setChecked(true);
    for (const char* run : {"first", "again"}) {
        Heartbeat heartbeat;
        QElapsedTimer timer;
        double first = -1;
        heartbeat.Start(10);
        timer.start();
        bar.Field().setText(query);
        QMetaObject::invokeMethod(&bar.Field(), "returnPressed");
        const bool ended = RunUntil([&] {
            if (first < 0 && window.list.ItemCount() > 0) {
                first = Milliseconds(timer);
            }
            return search.Active() && !search.Running();
        });
        const double all = Milliseconds(timer);
        const Gap gap = heartbeat.Stop();
        if (!ended) {
            return 1;
        }
        std::printf(
            "search %s: first match %.1f ms, all %.1f ms wall, longest gap %.1f ms (busy %.1f ms), %s\n", run,
            first, all, gap.wall, gap.busy, search.StatusText().toLocal8Bit().constData());
        bar.Field().clear();
        RunUntil([&] { return !search.Active() && !window.list.Listing(); });
    }
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
    const std::string mode = argc > 2 ? argv[1] : "";
    const QString folder = argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).absolutePath() : QString();
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    if (mode == "listing") {
        return Listing(folder, runs);
    }
    if (mode == "blocked") {
        return Blocked(folder);
    }
    if (mode == "fill") {
        return Fill(folder);
    }
    if (mode == "sort") {
        return Sorting(folder, runs);
    }
    if (mode == "visible") {
        return VisibleRows(folder);
    }
    if (mode == "search" && argc > 3) {
        return Searching(folder, QString::fromLocal8Bit(argv[3]),
                         argc < 5 || std::strcmp(argv[4], "off") != 0);
    }
    if (mode == "memory" && argc > 3) {
        return Memory(folder, std::strcmp(argv[3], "on") == 0);
    }
    std::fprintf(stderr, "usage: lmp-bench-listing listing|blocked|fill|sort FOLDER [RUNS]\n"
                         "       lmp-bench-listing visible FOLDER\n"
                         "       lmp-bench-listing search FOLDER QUERY [off]\n"
                         "       lmp-bench-listing memory FOLDER off|on\n");
    return 2;
}
