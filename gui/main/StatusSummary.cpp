#include "gui/main/StatusSummary.h"

#include <algorithm>
#include <string>
#include <utility>

#include <QAbstractItemModel>
#include <QLocale>
#include <QStatusBar>

#include "core/NumberFormat.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/ShellListView.h"

namespace lmp::gui {

QString Grouped(std::size_t count)
{
    return QString::fromStdString(GroupThousands(std::to_string(count)));
}

QString CountsText(const FolderCounts& counts)
{
    const auto number = [](int count) { return Grouped(static_cast<std::size_t>(count < 0 ? 0 : count)); };
    return QStringLiteral("%1 items (%2 folders), %3 selected, %4")
        .arg(number(counts.items), number(counts.folders), number(counts.selected),
             QLocale::system().formattedDataSize(static_cast<qint64>(counts.bytes)));
}

QString FilterText(const FileFilter& filter)
{
    if ((filter.mask & FileFilter::kAllFiles) != 0) {
        return {};
    }
    // In the order the filter dialog lists them.
    static constexpr std::pair<std::uint16_t, const char*> kMasks[] = {
        {1, "*.TD4"}, {2, "*.TP4"}, {4, "*.SV4"}, {8, "*.SC4"}};
    QStringList masks;
    for (const auto& [bit, mask] : kMasks) {
        if ((filter.mask & bit) != 0) {
            masks << QString::fromLatin1(mask);
        }
    }
    if ((filter.mask & 16) != 0) {
        masks << QStringLiteral("*.") + QString::fromStdString(filter.customExtension);
    }
    return QStringLiteral("Filter: ") + (masks.isEmpty() ? QStringLiteral("folders only") : masks.join(", "));
}

QString WorkText(std::optional<WorkProgress> describing, std::optional<WorkProgress> details,
                 std::optional<WorkProgress> copying)
{
    QStringList parts;
    if (describing) {
        parts << QStringLiteral("Describing %1 of %2")
                     .arg(Grouped(describing->done), Grouped(describing->total));
    }
    if (details) {
        const std::size_t percent = details->total == 0 ? 0 : details->done * 100 / details->total;
        parts << QStringLiteral("Game Details %1%").arg(percent);
    }
    if (copying) {
        parts << QStringLiteral("Copying %1 of %2").arg(Grouped(copying->done), Grouped(copying->total));
    }
    return parts.join(QStringLiteral(", "));
}

std::optional<WorkProgress> PeakProgress::Of(std::size_t left)
{
    if (left == 0) {
        peak_ = 0;
        return std::nullopt;
    }
    peak_ = std::max(peak_, left);
    return WorkProgress{peak_ - left, peak_};
}

StatusSummary::StatusSummary(QStatusBar& bar, TShellListView& list, std::function<QString()> work)
    : QObject(&bar), bar_(bar), list_(list), workOf_(std::move(work)), counts_(new QLabel(&bar)),
      filter_(new QLabel(&bar)), work_(new QLabel(&bar))
{
    counts_->setObjectName(QStringLiteral("StatusCounts"));
    filter_->setObjectName(QStringLiteral("StatusFilter"));
    work_->setObjectName(QStringLiteral("StatusWork"));
    // A note takes the place of the counts only; the filter and the work stay in sight.
    bar_.addWidget(counts_, 1);
    bar_.addPermanentWidget(work_);
    bar_.addPermanentWidget(filter_);
    tick_.setSingleShot(true);
    tick_.setInterval(kIntervalMs);
    connect(&tick_, &QTimer::timeout, this, &StatusSummary::Tick);
    const auto rowsChanged = [this] {
        rowsChanged_ = true;
        Touch();
    };
    const FileListModel* model = &list_.Files();
    connect(model, &QAbstractItemModel::rowsInserted, this, rowsChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
    connect(model, &QAbstractItemModel::modelReset, this, rowsChanged);
    // Sizes arrive as a change of the Size column; the added columns' changes leave the counts alone.
    connect(model, &QAbstractItemModel::dataChanged, this, [rowsChanged](const QModelIndex& topLeft) {
        if (topLeft.column() <= FileListModel::SizeColumn) {
            rowsChanged();
        }
    });
    connect(model, &FileListModel::Detailed, this, rowsChanged);
    connect(&list_, &TShellListView::Change, this, &StatusSummary::Touch);
    connect(&list_, &TShellListView::Listed, this, &StatusSummary::Touch);
    Touch();
}

void StatusSummary::Touch()
{
    if (!tick_.isActive()) {
        tick_.start();
    }
}

void StatusSummary::ShowNote(const QString& text)
{
    bar_.showMessage(text, kNoteMs);
}

void StatusSummary::CountRows()
{
    const FileListModel& files = list_.Files();
    folders_ = 0;
    totalBytes_ = 0;
    const int rows = files.rowCount();
    for (int row = 0; row < rows; ++row) {
        const FileItem& item = files.Item(row);
        if (item.isFolder) {
            ++folders_;
        } else if (const ItemStat& stat = files.Stat(item); stat.Known()) {
            totalBytes_ += stat.size;
        }
    }
}

void StatusSummary::Tick()
{
    const int selected = list_.SelectionCount();
    const bool selectionChanged =
        selected != selectionCount_ || list_.SelectionVersion() != selectionVersion_;
    if (rowsChanged_) {
        CountRows();
    }
    // The selected files' sizes need a walk over the rows; none when nothing or everything is selected.
    if (rowsChanged_ || selectionChanged) {
        selectedBytes_ = 0;
        const FileListModel& files = list_.Files();
        if (selected == list_.ItemCount()) {
            selectedBytes_ = totalBytes_;
        } else if (selected > 0) {
            for (int row = 0; row < files.rowCount(); ++row) {
                const FileItem& item = files.Item(row);
                if (!item.isFolder && list_.Selected(row) && files.Stat(item).Known()) {
                    selectedBytes_ += files.Stat(item).size;
                }
            }
        }
    }
    rowsChanged_ = false;
    selectionCount_ = selected;
    selectionVersion_ = list_.SelectionVersion();
    counts_->setText(
        CountsText({list_.ItemCount(), folders_, selected, selected > 0 ? selectedBytes_ : totalBytes_}));
    filter_->setText(FilterText(list_.Files().Filter()));
    const QString work = workOf_ ? workOf_() : QString();
    work_->setText(work);
    // While work runs its progress is looked at again on every tick.
    if (!work.isEmpty()) {
        tick_.start();
    }
}

} // namespace lmp::gui
