#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include <QLabel>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "gui/desktop/FileFilter.h"

class QStatusBar;

namespace lmp::gui {

class TShellListView;

// What the status bar says of the folder shown.
struct FolderCounts {
    int items = 0;
    int folders = 0;
    int selected = 0;
    std::uint64_t bytes = 0; // of the selected files, or of all files when none is selected
};

// The count with its thousands grouped by ",".
QString Grouped(std::size_t count);

// "N items (F folders), K selected, SIZE", the numbers grouped by thousands.
QString CountsText(const FolderCounts& counts);
// "Filter: *.TD4, *.SV4" for a filter that hides files; empty for one that shows all.
QString FilterText(const FileFilter& filter);

// Work of the background, as far as it has got: done of total.
struct WorkProgress {
    std::size_t done = 0;
    std::size_t total = 0;
};
// What runs in the background, each part only while it runs: "Describing 1,200 of 5,000",
// "Game Details 40%", "Copying 3 of 2,000", joined by commas.
QString WorkText(std::optional<WorkProgress> describing, std::optional<WorkProgress> details,
                 std::optional<WorkProgress> copying);

// Progress of work that says only how much is left: done of the most that was left since it was last
// idle. None while nothing is left.
class PeakProgress {
public:
    std::optional<WorkProgress> Of(std::size_t left);

private:
    std::size_t peak_ = 0;
};

// The status bar's summary of the folder shown, the filter and the work under way. Changes only mark
// it out of date; it is made anew at most a few times a second, and the rows are walked only when
// they or the selection changed since. A note (see ShowNote) hides the counts for a while.
class StatusSummary : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 250;
    static constexpr int kNoteMs = 8000;

    // work says what runs in the background (see WorkText), empty when nothing does.
    StatusSummary(QStatusBar& bar, TShellListView& list, std::function<QString()> work);

    // Something changed: the summary is made anew with the next tick.
    void Touch();
    void ShowNote(const QString& text);
    // The texts as shown now, for the tests.
    QString Counts() const { return counts_->text(); }
    QString Work() const { return work_->text(); }
    QString Filter() const { return filter_->text(); }

private:
    void Tick();
    void CountRows();

    QStatusBar& bar_;
    TShellListView& list_;
    std::function<QString()> workOf_;
    QLabel* counts_;
    QLabel* filter_;
    QLabel* work_;
    QTimer tick_;
    bool rowsChanged_ = true;
    int folders_ = 0;
    std::uint64_t totalBytes_ = 0;
    std::uint64_t selectedBytes_ = 0;
    unsigned selectionVersion_ = 0;
    int selectionCount_ = -1;
};

} // namespace lmp::gui
