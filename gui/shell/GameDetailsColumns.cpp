#include "gui/shell/GameDetailsColumns.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include <QElapsedTimer>
#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include "core/Edition.h"
#include "gui/desktop/DescribingThreads.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/ShellListView.h"

namespace lmp::gui {

namespace {

constexpr std::array kColumns = {DetailColumn::Edition,   DetailColumn::RideOrPark, DetailColumn::Excitement,
                                 DetailColumn::Intensity, DetailColumn::Nausea,     DetailColumn::Length,
                                 DetailColumn::Rating,    DetailColumn::Guests,     DetailColumn::Cash};
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

    bool SortsByNumber() const override { return column_ != DetailColumn::RideOrPark; }

    std::optional<std::int64_t> SortNumber(const FileItem& item) const override
    {
        const GameDetails* details = owner_.Find(item);
        return details != nullptr ? details->Number(column_) : std::nullopt;
    }

private:
    const GameDetailsColumns& owner_;
    DetailColumn column_;
};

FileStamp StampOf(const ItemStat& stat)
{
    return {stat.size, stat.modifiedNs, stat.inode};
}

constexpr std::uint32_t kNotKnown = 0xFFFFFFFF;
// The window's thread spends at most this long in one go on the columns, looking at the clock every so
// many rows of a pass.
constexpr qint64 kSliceMs = 8;
constexpr int kRowsBetweenLooks = 256;
// Files submitted to the service and not yet taken back, at most: the rest wait in the columns' own queue,
// which costs a few bytes a file and is made anew in the rows' order whenever they move.
constexpr std::size_t kInFlight = 1024;

} // namespace

GameDetailsColumns::GameDetailsColumns(TShellListView& list) : QObject(&list), list_(list)
{
    fill_.setSingleShot(true);
    fill_.setInterval(0);
    connect(&fill_, &QTimer::timeout, this, &GameDetailsColumns::Fill);
    follow_.setSingleShot(true);
    follow_.setInterval(0);
    connect(&follow_, &QTimer::timeout, this, &GameDetailsColumns::FollowView);
    connect(list_.verticalScrollBar(), &QScrollBar::valueChanged, this, &GameDetailsColumns::ScheduleFollow);
    list_.viewport()->installEventFilter(this);
    const FileListModel* files = &list_.Files();
    // Another reading of the folder numbers its items anew.
    connect(files, &QAbstractItemModel::modelAboutToBeReset, this, &GameDetailsColumns::KeepInCache);
    connect(files, &QAbstractItemModel::modelReset, this, [this] {
        Forget();
        ScheduleFill();
    });
    connect(files, &FileListModel::RowsMoved, this, &GameDetailsColumns::ScheduleFill);
    connect(files, &FileListModel::Detailed, this, &GameDetailsColumns::ScheduleFill);
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
    client_.reset();
}

void GameDetailsColumns::SetShown(bool shown)
{
    if (shown == shown_) {
        return;
    }
    shown_ = shown;
    FileListModel& files = list_.Files();
    if (!shown) {
        KeepInCache();
        Forget();
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
    if (item.id >= knownAt_.size() || knownAt_[item.id] == kNotKnown) {
        return nullptr;
    }
    const Known& known = known_[knownAt_[item.id]];
    return known.state == State::Known && known.stamp == StampOf(list_.Files().Stat(item)) ? &known.details
                                                                                           : nullptr;
}

std::size_t GameDetailsColumns::Pending() const
{
    const bool busy = pass_ >= 0 || fill_.isActive() || (shown_ && list_.Files().Detailing());
    return queue_.size() - queued_ + tickets_.size() + (busy ? 1 : 0);
}

GameDetailsColumns::Known& GameDetailsColumns::KnownOf(std::uint32_t id)
{
    if (id >= knownAt_.size()) {
        knownAt_.resize(std::max<std::size_t>(id + 1, list_.Files().IdLimit()), kNotKnown);
    }
    if (knownAt_[id] == kNotKnown) {
        knownAt_[id] = static_cast<std::uint32_t>(known_.size());
        known_.emplace_back();
    }
    return known_[knownAt_[id]];
}

void GameDetailsColumns::ScheduleFill()
{
    if (shown_) {
        pass_ = -1; // the rows have moved: a pass starts anew
        fill_.start();
    }
}

bool GameDetailsColumns::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        ScheduleFollow();
    }
    return QObject::eventFilter(watched, event);
}

void GameDetailsColumns::ScheduleFollow()
{
    if (shown_ && client_ && !follow_.isActive()) {
        follow_.start();
    }
}

std::pair<int, int> GameDetailsColumns::RowsInView() const
{
    const int top = std::max(0, list_.indexAt(QPoint(0, 0)).row());
    const int bottom = list_.indexAt(QPoint(0, list_.viewport()->height() - 1)).row();
    return {top, bottom >= 0 ? bottom : list_.Files().rowCount() - 1};
}

void GameDetailsColumns::FollowView()
{
    if (!shown_ || !client_) {
        return;
    }
    const auto [top, bottom] = RowsInView();
    if (top == viewTop_ && bottom == viewBottom_) {
        return;
    }
    const FileListModel& files = list_.Files();
    const int count = files.rowCount();
    const auto ticketsOf = [&](int from, int to, std::vector<std::uint64_t>& tickets) {
        for (int row = std::max(from, 0); row <= std::min(to, count - 1); ++row) {
            const FileItem& item = files.Item(row);
            if (item.id < knownAt_.size() && knownAt_[item.id] != kNotKnown &&
                known_[knownAt_[item.id]].state == State::Reading) {
                if (const auto ticket = ticketOf_.find(item.id); ticket != ticketOf_.end()) {
                    tickets.push_back(ticket->second);
                }
            }
        }
    };
    // The rows that left the view: the rows seen last outside the new ones.
    std::vector<std::uint64_t> left;
    ticketsOf(viewTop_, std::min(viewBottom_, top - 1), left);
    ticketsOf(std::max(viewTop_, bottom + 1), viewBottom_, left);
    client_->Relane(left, DescribeLane::Folder);
    viewTop_ = top;
    viewBottom_ = bottom;
    // The rows in view: those submitted go ahead, those not yet looked up or waiting in the columns' own
    // queue are submitted now.
    std::vector<std::uint64_t> came;
    ticketsOf(top, bottom, came);
    client_->Relane(came, DescribeLane::Visible);
    bool found = false;
    const std::uint32_t folder = cache_.Folder(files.FolderPath());
    for (int row = top; row <= std::min(bottom, count - 1); ++row) {
        if (LookUp(row, folder, found)) {
            Submit(files.Item(row), KnownOf(files.Item(row).id), DescribeLane::Visible);
        }
    }
    if (found) {
        list_.Files().AddedColumnsChanged();
    }
}

void GameDetailsColumns::CancelReading()
{
    if (client_) {
        client_->Cancel();
    }
    tickets_.clear();
    ticketOf_.clear();
    queue_.clear();
    queued_ = 0;
}

void GameDetailsColumns::KeepInCache()
{
    if (known_.empty()) {
        return;
    }
    const FileListModel& files = list_.Files();
    const std::uint32_t folder = cache_.Folder(files.FolderPath());
    for (int row = 0; row < files.rowCount(); ++row) {
        const FileItem& item = files.Item(row);
        if (item.id < knownAt_.size() && knownAt_[item.id] != kNotKnown) {
            Known& known = known_[knownAt_[item.id]];
            if (known.state == State::Known) {
                cache_.Store(folder, files.NameBytes(item), known.stamp, std::move(known.details));
            }
        }
    }
}

void GameDetailsColumns::Forget()
{
    CancelReading();
    knownAt_ = {};
    known_ = {};
}

void GameDetailsColumns::SetDiskCache(std::shared_ptr<DescriptionCache> cache)
{
    disk_ = std::move(cache);
    if (client_) {
        client_->SetDiskCache(disk_);
    }
}

void GameDetailsColumns::Fill()
{
    if (!shown_) {
        return;
    }
    if (!client_) {
        DescribeService& service = DescribingThreads::Instance().Service();
        client_ = std::make_unique<DescribeService::Client>(service, DescribeOrder::AsReady);
        // Runs on a worker thread: only posts to this object's thread, at most one call at a time.
        client_->SetReadyCallback([this] { takeCall_.Post(); });
        client_->SetDiskCache(disk_);
        DescribingThreads::Instance().Check(service);
    }
    // The rows in view are read first, then those below them, then those above. A pass over a large list
    // goes a slice at a time, so that the window keeps taking input.
    const FileListModel& files = list_.Files();
    const int count = files.rowCount();
    if (pass_ < 0) {
        pass_ = 0;
        std::tie(viewTop_, viewBottom_) = RowsInView();
        passTop_ = viewTop_;
        queue_.clear();
        queued_ = 0;
    }
    QElapsedTimer spent;
    spent.start();
    bool found = false;
    const std::uint32_t folder = cache_.Folder(files.FolderPath());
    while (pass_ < count) {
        if (pass_ % kRowsBetweenLooks == kRowsBetweenLooks - 1 && spent.elapsed() >= kSliceMs) {
            break;
        }
        const int row = (passTop_ + pass_++) % count;
        if (LookUp(row, folder, found)) {
            queue_.push_back({row, files.Item(row).id});
        }
    }
    TopUp();
    if (found) {
        list_.Files().AddedColumnsChanged();
    }
    if (pass_ < count) {
        fill_.start();
        return;
    }
    pass_ = -1;
    if (Pending() == 0) {
        emit Filled();
    }
}

bool GameDetailsColumns::LookUp(int row, std::uint32_t folder, bool& found)
{
    const FileListModel& files = list_.Files();
    const FileItem& item = files.Item(row);
    // A file whose size and time are not known yet is taken when they come.
    if (item.isFolder || !files.Stat(item).Known() ||
        FileTypeOfName(files.NameBytes(item)) == FileType::None) {
        return false;
    }
    Known& known = KnownOf(item.id);
    const FileStamp stamp = StampOf(files.Stat(item));
    if (known.state == State::Unread || known.stamp != stamp) {
        known.stamp = stamp;
        if (std::optional<GameDetails> cached = cache_.Take(folder, files.NameBytes(item), stamp)) {
            known.details = std::move(*cached);
            known.state = State::Known;
            found = true;
            return false;
        }
        known.state = State::Queued;
    }
    return known.state == State::Queued;
}

void GameDetailsColumns::Submit(const FileItem& item, Known& known, DescribeLane lane)
{
    DescribeOptions options;
    options.decimalMark = decimalMark_;
    known.state = State::Reading;
    const std::uint64_t ticket = client_->Submit(list_.Files().PathOf(item), std::move(options), lane);
    tickets_[ticket] = Ticket{item.id, known.stamp};
    ticketOf_[item.id] = ticket;
}

void GameDetailsColumns::TopUp()
{
    const FileListModel& files = list_.Files();
    while (tickets_.size() < kInFlight && queued_ < queue_.size()) {
        const Queued next = queue_[queued_++];
        // Rows that moved since the queue was made are queued again by the Fill that follows.
        if (next.row >= files.rowCount() || files.Item(next.row).id != next.id) {
            continue;
        }
        const FileItem& item = files.Item(next.row);
        Known& known = KnownOf(item.id);
        if (known.state != State::Queued) {
            continue;
        }
        Submit(item, known,
               next.row >= viewTop_ && next.row <= viewBottom_ ? DescribeLane::Visible
                                                               : DescribeLane::Folder);
    }
    if (queued_ == queue_.size()) {
        queue_.clear();
        queued_ = 0;
    }
}

void GameDetailsColumns::TakeOutcomes()
{
    takeCall_.Arrived();
    if (!client_) {
        return;
    }
    bool taken = false;
    QElapsedTimer spent;
    spent.start();
    while (std::optional<DescribeOutcome> outcome = client_->TryNext()) {
        const auto ticket = tickets_.find(outcome->ticket);
        if (ticket == tickets_.end()) {
            continue;
        }
        const Ticket done = ticket->second;
        tickets_.erase(ticket);
        if (const auto of = ticketOf_.find(done.id); of != ticketOf_.end() && of->second == outcome->ticket) {
            ticketOf_.erase(of);
        }
        Known& known = KnownOf(done.id);
        if (known.stamp == done.stamp) {
            if (outcome->description) {
                known.details = GameDetails::Of(*outcome->description);
                known.state = State::Known;
            } else {
                known.state = State::Failed;
            }
            taken = true;
        }
        // The rest in a call of their own, after the window's other events.
        if (spent.elapsed() >= kSliceMs) {
            takeCall_.Post();
            break;
        }
    }
    TopUp();
    if (taken) {
        list_.Files().AddedColumnsChanged();
        if (Pending() == 0) {
            emit Filled();
        }
    }
}

} // namespace lmp::gui
