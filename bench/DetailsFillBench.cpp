// Times the file list's game-detail columns over a folder (offscreen unless QT_QPA_PLATFORM says
// otherwise): lmp-bench-details FOLDER [REPEATS]. Prints the fastest run's wall-clock and processor
// time (all threads) in milliseconds from showing the folder to the last cell filled, with nothing
// cached ("details-fill") and again after Refresh Directory with the cache warm ("details-refill");
// then the heap bytes that the details cache takes for 10,000 of the folder's game files
// ("details-cache").
//
// lmp-bench-details --cold FOLDER [RUNS]: the median wall-clock time of RUNS (default 3) fills with nothing
// cached, each started right after the page cache was dropped (root only; exits 3 where it is refused),
// the folder's listing included ("details-fill-cold").
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include "BenchSupport.h"
#include "core/Describe.h"
#include "core/Edition.h"
#include "core/GameDetails.h"
#include "gui/shell/GameDetailsColumns.h"
#include "gui/shell/ShellListView.h"
#include "scan/DescribeFile.h"
#include "sys/Allocator.h"

namespace {

struct Fastest {
    double wall = std::numeric_limits<double>::infinity();
    double processor = std::numeric_limits<double>::infinity();
};

// Runs start, then the event loop until the columns have nothing left to read.
template <typename Start> void Time(lmp::gui::GameDetailsColumns& details, Start start, Fastest& fastest)
{
    bool filled = false;
    const QMetaObject::Connection connection =
        QObject::connect(&details, &lmp::gui::GameDetailsColumns::Filled, [&filled] { filled = true; });
    QElapsedTimer timer;
    const double processorStart = ProcessorMilliseconds();
    timer.start();
    start();
    // Waits between events instead of polling for them, which would take a processor from the workers.
    while (!filled) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QObject::disconnect(connection);
    fastest.wall = std::min(fastest.wall, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    fastest.processor = std::min(fastest.processor, ProcessorMilliseconds() - processorStart);
}

// The heap the cache takes for 10,000 entries: the folder's game files, described, stored under
// paths as long as theirs.
std::size_t CacheBytes(const QString& folder)
{
    std::vector<lmp::GameDetails> described;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString())) {
        if (lmp::FileTypeOfName(entry.path().filename().string()) != lmp::FileType::None) {
            described.push_back(lmp::GameDetails::Of(lmp::DescribeFile(entry.path(), {})));
            paths.push_back(entry.path());
        }
    }
    if (described.empty()) {
        return 0;
    }
    constexpr std::size_t kFiles = 10'000;
    const std::size_t before = mallinfo2().uordblks;
    auto cache = std::make_unique<lmp::DetailsCache>();
    for (std::size_t i = 0; i < kFiles; ++i) {
        const std::size_t which = i % described.size();
        // A copy's name as long as the original's (at least 5 characters), so that paths keep their size.
        std::filesystem::path path = paths[which];
        std::string name = path.filename().string();
        char number[8];
        std::snprintf(number, sizeof number, "%05zu", i);
        name.replace(0, std::min<std::size_t>(name.size(), 5), number);
        path.replace_filename(name);
        cache->Store(path, {i, static_cast<std::int64_t>(i), i}, described[which]);
    }
    return mallinfo2().uordblks - before;
}

} // namespace

int main(int argc, char* argv[])
{
    lmp::sys::KeepLargeBuffersForReuse(lmp::sys::kDescribingBuffersMost); // as the window does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const bool cold = argc > 1 && std::strcmp(argv[1], "--cold") == 0;
    if (argc < (cold ? 3 : 2)) {
        std::fprintf(stderr, "usage: lmp-bench-details FOLDER [REPEATS]\n"
                             "       lmp-bench-details --cold FOLDER [RUNS]\n");
        return 2;
    }
    if (cold) {
        const QString folder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
        std::vector<double> wall;
        for (int run = 0, runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3; run < runs; ++run) {
            lmp::gui::TShellListView list;
            list.resize(900, 600);
            list.show();
            auto* details = new lmp::gui::GameDetailsColumns(list);
            details->SetShown(true);
            if (!DropPageCache()) {
                std::fprintf(stderr, "the page cache cannot be dropped here\n");
                return 3;
            }
            Fastest one;
            Time(
                *details, [&] { list.SetFolder(folder); }, one);
            wall.push_back(one.wall);
        }
        std::sort(wall.begin(), wall.end());
        std::printf("details-fill-cold: %.1f ms wall, median of %zu\n", wall[wall.size() / 2], wall.size());
        return 0;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    Fastest fill;
    Fastest refill;
    for (int run = 0; run < repeats; ++run) {
        lmp::gui::TShellListView list;
        list.resize(900, 600);
        list.show();
        auto* details = new lmp::gui::GameDetailsColumns(list);
        details->SetShown(true);
        Time(
            *details, [&] { list.SetFolder(folder); }, fill);
        Time(
            *details, [&] { list.Refresh(); }, refill);
    }
    std::printf("details-fill: %.1f ms wall, %.1f ms processor\n", fill.wall, fill.processor);
    std::printf("details-refill: %.1f ms wall, %.1f ms processor\n", refill.wall, refill.processor);
    std::printf("details-cache: %zu bytes per 10000 files\n", CacheBytes(folder));
    return 0;
}
