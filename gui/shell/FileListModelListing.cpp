#include "gui/shell/FileListModel.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <system_error>
#include <utility>

#include <QDir>
#include <QFileInfo>

#include "gui/desktop/NativePath.h"
#include "sys/CommandLine.h"
#include "sys/Folder.h"

// The folder's first reading: its items arriving in batches from the listing thread, each merged into the
// rows in its sorted places, their sizes and times following; and the rows that go after a change on disk.
namespace lmp::gui {

namespace {

// Rows that come or go in up to this many runs do so run by run; more, scattered over the list, go in at
// its end or out from there, with one layout change to move them: each run costs the views a pass over
// what they keep of the rows.
constexpr std::size_t kFewRuns = 16;
// The store of names is compacted once names of removed items take more than this beyond the live ones.
constexpr std::size_t kNameGarbage = 1 << 20;

} // namespace

void FileListModel::StopListings()
{
    listing_.reset();
    update_.reset();
    updated_ = {};
    named_ = false;
    listedPending_ = false;
    changedWhileListing_ = false;
    settle_.stop();
}

void FileListModel::StartListing()
{
    if (folder_.isEmpty()) {
        ListedBatch roots;
        for (const QFileInfo& drive : QDir::drives()) {
            const std::string name = sys::Utf8FromPath(NativePath(drive.absoluteFilePath()));
            ListedEntry entry;
            entry.name = static_cast<std::uint32_t>(roots.names.size());
            entry.nameSize = static_cast<std::uint32_t>(name.size());
            entry.isFolder = true;
            roots.names += name;
            roots.entries.push_back(entry);
        }
        std::vector<FileItem> items = ItemsOf(roots, false);
        for (FileItem& item : items) {
            item.isRoot = true;
        }
        Insert(std::move(items));
        // Listed follows once control is back in the event loop, as after a folder's listing.
        listedPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (std::exchange(listedPending_, false)) {
                    emit Listed();
                    emit Detailed();
                }
            },
            Qt::QueuedConnection);
        return;
    }
    FolderListing::Receivers receivers;
    receivers.arrived = [this](ListedBatch& batch) { Insert(ItemsOf(batch, true)); };
    receivers.named = [this] {
        named_ = true;
        emit Listed();
    };
    receivers.detailed = [this](std::vector<EntryStat>& stats) { TakeStats(stats); };
    receivers.finished = [this](std::error_code) { EndListing(); };
    named_ = false;
    listing_.reset(new FolderListing(
        folderPath_, FolderListing::Details::Later,
        [filter = filter_](const sys::FolderEntry& entry, std::string_view name) {
            return !entry.hidden && (entry.isFolder || filter.Shows(name));
        },
        std::move(receivers), this));
}

void FileListModel::EndListing()
{
    listing_.reset();
    named_ = false;
    // Changes on disk while the folder was read may have come before or after the reading of their entries.
    if (std::exchange(changedWhileListing_, false)) {
        settle_.start();
    }
    emit Detailed();
}

void FileListModel::TakeStats(const std::vector<EntryStat>& stats)
{
    for (const EntryStat& stat : stats) {
        if (stat.sequence < nextId_) {
            stats_[stat.sequence] = {stat.size, stat.modifiedNs, stat.inode};
        }
    }
    if (items_.empty()) {
        return;
    }
    emit dataChanged(index(0, SizeColumn), index(rowCount() - 1, columnCount() - 1));
    if ((sortColumn_ == SizeColumn || sortColumn_ == DateColumn) && !resort_.isActive()) {
        resort_.start();
    }
}

std::vector<FileItem> FileListModel::ItemsOf(ListedBatch& batch, bool bySequence)
{
    std::vector<FileItem> items;
    items.reserve(batch.entries.size());
    for (const ListedEntry& entry : batch.entries) {
        const std::string_view name = batch.Name(entry);
        if (name.size() > std::numeric_limits<std::uint16_t>::max()) {
            continue; // no file system gives such a name
        }
        FileItem item;
        // The listing of a folder numbers its entries from 0, as the list does after SetFolder.
        item.id = bySequence ? entry.sequence : nextId_;
        nextId_ = std::max(nextId_, item.id + 1);
        stats_.Reach(nextId_);
        if (entry.detailed) {
            stats_[item.id] = {entry.size, entry.modifiedNs, entry.inode};
        }
        item.name = static_cast<std::uint32_t>(names_.size());
        item.nameSize = static_cast<std::uint16_t>(name.size());
        item.isFolder = entry.isFolder;
        item.type = entry.isFolder ? 0 : types_.Number(name);
        names_ += name;
        liveNames_ += name.size();
        items.push_back(item);
    }
    batch = {};
    // A batch comes in the default order.
    if (!InDefaultOrder()) {
        std::stable_sort(items.begin(), items.end(),
                         [this](const FileItem& left, const FileItem& right) { return Before(left, right); });
    }
    return items;
}
void FileListModel::Insert(std::vector<FileItem> items)
{
    if (items.empty()) {
        return;
    }
    nameRanksValid_ = false;
    rowsInDefaultOrder_ = rowsInDefaultOrder_ && InDefaultOrder();
    const std::size_t count = items_.size();
    // Where each new item goes among the rows there, after those that compare equal.
    std::vector<std::uint32_t> at(items.size());
    std::size_t row = 0;
    std::size_t runs = 0;
    for (std::size_t next = 0; next < items.size(); ++next) {
        while (row < count && !Before(items[next], items_[row])) {
            ++row;
        }
        at[next] = static_cast<std::uint32_t>(row);
        runs += next == 0 || at[next] != at[next - 1] ? 1 : 0;
    }
    if (runs <= kFewRuns) {
        for (std::size_t end = items.size(); end > 0;) {
            std::size_t begin = end - 1;
            while (begin > 0 && at[begin - 1] == at[end - 1]) {
                --begin;
            }
            const auto first = static_cast<int>(at[begin]);
            beginInsertRows({}, first, first + static_cast<int>(end - begin) - 1);
            items_.insert(items_.begin() + first, items.begin() + static_cast<std::ptrdiff_t>(begin),
                          items.begin() + static_cast<std::ptrdiff_t>(end));
            endInsertRows();
            end = begin;
        }
    } else {
        beginInsertRows({}, static_cast<int>(count), static_cast<int>(count + items.size()) - 1);
        items_.insert(items_.end(), items.begin(), items.end());
        endInsertRows();
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        // Merged from the end, by the places found above.
        std::size_t kept = count;
        std::size_t end = items_.size();
        for (std::size_t next = items.size(); next-- > 0;) {
            while (kept > at[next]) {
                items_[--end] = items_[--kept];
            }
            items_[--end] = items[next];
        }
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& old : from) {
            const auto oldRow = static_cast<std::size_t>(old.row());
            std::size_t newRow = 0;
            if (oldRow < count) {
                newRow = oldRow + static_cast<std::size_t>(std::upper_bound(at.begin(), at.end(), oldRow) -
                                                           at.begin());
            } else {
                newRow = at[oldRow - count] + (oldRow - count);
            }
            to.append(index(static_cast<int>(newRow), old.column()));
        }
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    emit RowsMoved();
}

void FileListModel::Remove(const std::vector<bool>& gone)
{
    std::size_t runs = 0;
    for (std::size_t row = 0; row < gone.size(); ++row) {
        runs += gone[row] && (row == 0 || !gone[row - 1]) ? 1 : 0;
        if (gone[row]) {
            liveNames_ -= items_[row].nameSize;
        }
    }
    if (runs == 0) {
        return;
    }
    if (runs <= kFewRuns) {
        for (std::size_t end = gone.size(); end > 0;) {
            if (!gone[end - 1]) {
                --end;
                continue;
            }
            std::size_t begin = end - 1;
            while (begin > 0 && gone[begin - 1]) {
                --begin;
            }
            beginRemoveRows({}, static_cast<int>(begin), static_cast<int>(end) - 1);
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(begin),
                         items_.begin() + static_cast<std::ptrdiff_t>(end));
            endRemoveRows();
            end = begin;
        }
    } else {
        // The rows that stay move up in their order, those that go after them; then the tail goes.
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        std::vector<std::uint32_t> newRow(gone.size());
        std::size_t staying = 0;
        for (std::size_t row = 0; row < gone.size(); ++row) {
            staying += gone[row] ? 0 : 1;
        }
        std::size_t nextStaying = 0;
        std::size_t nextGoing = staying;
        std::vector<FileItem> arranged(items_.size());
        for (std::size_t row = 0; row < gone.size(); ++row) {
            const std::size_t to = gone[row] ? nextGoing++ : nextStaying++;
            newRow[row] = static_cast<std::uint32_t>(to);
            arranged[to] = items_[row];
        }
        items_ = std::move(arranged);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& old : from) {
            to.append(index(static_cast<int>(newRow[static_cast<std::size_t>(old.row())]), old.column()));
        }
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        beginRemoveRows({}, static_cast<int>(staying), static_cast<int>(items_.size()) - 1);
        items_.resize(staying);
        endRemoveRows();
    }
    emit RowsMoved();
}

void FileListModel::CompactNames()
{
    if (names_.size() <= liveNames_ + kNameGarbage) {
        return;
    }
    std::string compacted;
    compacted.reserve(liveNames_);
    for (FileItem& item : items_) {
        const std::string_view name = NameBytes(item);
        item.name = static_cast<std::uint32_t>(compacted.size());
        compacted += name;
    }
    names_ = std::move(compacted);
    liveNames_ = names_.size();
}

} // namespace lmp::gui
