#include "gui/shell/GameDetailsColumns.h"

#include <array>
#include <utility>
#include <vector>

#include <QHeaderView>

#include "core/Edition.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/ShellListView.h"

namespace lmp::gui {

namespace {

constexpr std::array kColumns = {DetailColumn::Edition,   DetailColumn::RideOrPark, DetailColumn::Excitement,
                                 DetailColumn::Intensity, DetailColumn::Nausea,     DetailColumn::Length,
                                 DetailColumn::Rating,    DetailColumn::Guests,     DetailColumn::Cash};
// Files the pipeline may describe ahead of the one taken next. The window takes what is ready in one
// call and repaints the columns once for it; with the pipeline's default of 4 per thread the workers
// waited for the window every few files.
constexpr std::size_t kAhead = 512;
constexpr int kRideOrParkWidth = 160;
constexpr int kNumberWidth = 85;

// What each column holds, and in which unit, for its header's tip.
QString DetailTip(DetailColumn column)
{
    switch (column) {
    case DetailColumn::Edition:
        return QStringLiteral("The game edition the file is for: Original, VJ/EM or QQ");
    case DetailColumn::RideOrPark:
        return QStringLiteral("Track designs: the type of ride. Saved games and scenarios: the park's name");
    case DetailColumn::Excitement:
        return QStringLiteral("Track designs: the excitement rating, in rating points");
    case DetailColumn::Intensity:
        return QStringLiteral("Track designs: the intensity rating, in rating points");
    case DetailColumn::Nausea:
        return QStringLiteral("Track designs: the nausea rating, in rating points");
    case DetailColumn::Length:
        return QStringLiteral("Track designs: the length of the track, in feet");
    case DetailColumn::Rating:
        return QStringLiteral("Saved games and scenarios: the park rating, in points");
    case DetailColumn::Guests:
        return QStringLiteral("Saved games and scenarios: the number of guests in the park");
    case DetailColumn::Cash:
        return QStringLiteral("Saved games and scenarios: the park's cash, in dollars");
    }
    return {};
}

class DetailCell final : public FileListColumn {
public:
    DetailCell(const GameDetailsColumns& owner, DetailColumn column) : owner_(owner), column_(column) {}

    QString Header() const override { return QString::fromUtf8(DetailColumnTitle(column_).data()); }
    QString HeaderTip() const override { return DetailTip(column_); }

    QVariant Data(const FileItem& item, int role) const override
    {
        if (role == Qt::TextAlignmentRole && column_ != DetailColumn::Edition &&
            column_ != DetailColumn::RideOrPark) {
            return QVariant::fromValue(Qt::AlignTrailing | Qt::AlignVCenter);
        }
        const GameDetails* details = role == Qt::DisplayRole ? owner_.Find(item) : nullptr;
        if (details == nullptr) {
            return {};
        }
        const std::string text = details->Text(column_, owner_.DecimalMark());
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    int Compare(const FileItem& a, const FileItem& b, bool descending) const override
    {
        return CompareDetails(owner_.Find(a), owner_.Find(b), column_, descending);
    }

private:
    const GameDetailsColumns& owner_;
    DetailColumn column_;
};

FileStamp StampOf(const FileItem& item)
{
    return {item.size, item.modifiedNs, item.inode};
}

} // namespace

GameDetailsColumns::GameDetailsColumns(TShellListView& list) : QObject(&list), list_(list)
{
    fill_.setSingleShot(true);
    fill_.setInterval(0);
    connect(&fill_, &QTimer::timeout, this, &GameDetailsColumns::Fill);
    const FileListModel* files = &list_.Files();
    connect(files, &QAbstractItemModel::modelReset, this, &GameDetailsColumns::ScheduleFill);
    connect(files, &QAbstractItemModel::rowsInserted, this, &GameDetailsColumns::ScheduleFill);
    // A file whose size or time changed is read again; the columns' own changes need nothing.
    connect(files, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& topLeft) {
        if (topLeft.column() < FileListModel::OwnColumns) {
            ScheduleFill();
        }
    });
}

GameDetailsColumns::~GameDetailsColumns()
{
    // The workers post to this object: they stop before any of it goes.
    pipeline_.reset();
}

void GameDetailsColumns::SetShown(bool shown)
{
    if (shown == shown_) {
        return;
    }
    shown_ = shown;
    FileListModel& files = list_.Files();
    if (!shown) {
        CancelReading();
        known_.clear();
        list_.SortBy(FileListModel::NameColumn, Qt::AscendingOrder);
        files.RemoveAddedColumns();
        return;
    }
    for (const DetailColumn column : kColumns) {
        files.AddColumn(std::make_unique<DetailCell>(*this, column));
        list_.header()->resizeSection(files.columnCount() - 1,
                                      column == DetailColumn::RideOrPark ? kRideOrParkWidth : kNumberWidth);
    }
    ScheduleFill();
}

void GameDetailsColumns::SetDecimalMark(std::string mark)
{
    decimalMark_ = std::move(mark);
    if (shown_) {
        list_.Files().AddedColumnsChanged();
    }
}

const GameDetails* GameDetailsColumns::Find(const FileItem& item) const
{
    const auto found = known_.find(item.path.native());
    return found != known_.end() && found->second.stamp == StampOf(item) ? &found->second.details : nullptr;
}

void GameDetailsColumns::ScheduleFill()
{
    if (shown_) {
        fill_.start();
    }
}

void GameDetailsColumns::CancelReading()
{
    if (pipeline_) {
        pipeline_->Cancel();
    }
    tickets_.clear();
    waiting_.clear();
}

void GameDetailsColumns::Fill()
{
    if (!shown_) {
        return;
    }
    if (!pipeline_) {
        pipeline_ = std::make_unique<DescribePipeline>(PipelineSettings{.ahead = kAhead});
        // Runs on a worker thread: only posts to this object's thread, at most one call at a time.
        pipeline_->SetReadyCallback([this] { takeCall_.Post(); });
    }
    const FileListModel& files = list_.Files();
    if (files.Folder() != folder_) {
        CancelReading();
        folder_ = files.Folder();
    }
    // The rows in view are read first, then those below them, then those above.
    const int count = files.rowCount();
    const int top = std::max(0, list_.indexAt(QPoint(0, 0)).row());
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int row = top; row < count; ++row) {
        rows.push_back(row);
    }
    for (int row = 0; row < top; ++row) {
        rows.push_back(row);
    }
    std::unordered_map<std::filesystem::path::string_type, Known> known;
    DescribeOptions options;
    options.decimalMark = decimalMark_;
    bool found = false;
    for (const int row : rows) {
        const FileItem& item = files.Item(row);
        if (item.isFolder || FileTypeOfName(item.order) == FileType::None) {
            continue;
        }
        const FileStamp stamp = StampOf(item);
        const auto& key = item.path.native();
        if (const auto old = known_.find(key); old != known_.end() && old->second.stamp == stamp) {
            known.insert(known_.extract(old));
            continue;
        }
        if (const GameDetails* cached = cache_.Find(item.path, stamp)) {
            known.emplace(key, Known{stamp, *cached});
            found = true;
            continue;
        }
        if (const auto pending = waiting_.find(key);
            pending != waiting_.end() && tickets_.at(pending->second).stamp == stamp) {
            continue;
        }
        const std::uint64_t ticket = pipeline_->Submit(item.path, options);
        tickets_[ticket] = Waiting{item.path, stamp};
        waiting_[key] = ticket;
    }
    known_ = std::move(known);
    if (found) {
        list_.Files().AddedColumnsChanged();
    }
    if (waiting_.empty()) {
        emit Filled();
    }
}

void GameDetailsColumns::TakeOutcomes()
{
    takeCall_.Arrived();
    if (!pipeline_) {
        return;
    }
    bool taken = false;
    while (std::optional<DescribeOutcome> outcome = pipeline_->TryNext()) {
        const auto ticket = tickets_.find(outcome->ticket);
        if (ticket == tickets_.end()) {
            continue;
        }
        Waiting done = std::move(ticket->second);
        tickets_.erase(ticket);
        const auto& key = done.path.native();
        if (const auto pending = waiting_.find(key);
            pending != waiting_.end() && pending->second == outcome->ticket) {
            waiting_.erase(pending);
        }
        // A file that cannot be read stays blank; it is not cached, so another run of the window tries again.
        GameDetails details = outcome->description ? GameDetails::Of(*outcome->description) : GameDetails();
        if (outcome->description) {
            cache_.Store(done.path, done.stamp, details);
        }
        known_[key] = Known{done.stamp, std::move(details)};
        taken = true;
    }
    if (taken) {
        list_.Files().AddedColumnsChanged();
        if (waiting_.empty()) {
            emit Filled();
        }
    }
}

} // namespace lmp::gui
