#include "gui/shell/FileListModel.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>

#include <QFileSystemWatcher>

#include "sys/Folder.h"

// The folder watched: a burst of changes on disk settles, then the folder is read again and the fresh
// reading is set against the rows, so that only the items that came, went or changed do.
namespace lmp::gui {

void FileListModel::Watch()
{
    // A fresh watcher each time: one left from another folder could still deliver its changes.
    delete watcher_;
    watcher_ = nullptr;
    if (folder_.isEmpty()) {
        return;
    }
    if (!folder_.isValidUtf16()) {
        return; // a name that is not UTF-8 (see PathText), which Qt's watcher cannot reach
    }
    watcher_ = new QFileSystemWatcher(this);
    watcher_->addPath(folder_);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (listing_) {
            changedWhileListing_ = true;
        } else {
            settle_.start();
        }
    });
}

void FileListModel::Update()
{
    if (showsFound_) {
        return; // found files are not a folder's listing to compare with the folder
    }
    if (listing_) {
        changedWhileListing_ = true;
        return;
    }
    // A reading already under way may have missed the latest changes: it starts again.
    updated_ = {};
    FolderListing::Receivers receivers;
    receivers.arrived = [this](ListedBatch& batch) { updated_.Merge(batch); };
    receivers.finished = [this](std::error_code error) {
        update_.reset();
        // A folder that cannot be read any more has nothing in it to show.
        ListedBatch fresh = error ? ListedBatch() : std::exchange(updated_, {});
        updated_ = {};
        ApplyUpdate(fresh);
    };
    update_.reset(new FolderListing(
        folderPath_, FolderListing::Details::First,
        [filter = filter_](const sys::FolderEntry& entry, std::string_view name) {
            return !entry.hidden && (entry.isFolder || filter.Shows(name));
        },
        std::move(receivers), this));
}

void FileListModel::ApplyUpdate(ListedBatch& fresh)
{
    std::unordered_map<std::string_view, std::size_t> byName;
    byName.reserve(fresh.entries.size());
    for (std::size_t at = 0; at < fresh.entries.size(); ++at) {
        byName.emplace(fresh.Name(fresh.entries[at]), at);
    }
    const std::vector<std::uint32_t> renamed = std::exchange(renamed_, {});
    std::vector<bool> gone(items_.size(), false);
    std::vector<bool> kept(fresh.entries.size(), false);
    std::vector<FileItem> misplaced;
    int firstChanged = -1;
    int lastChanged = -1;
    bool anyGone = false;
    for (std::size_t row = 0; row < items_.size(); ++row) {
        FileItem& item = items_[row];
        const auto found = byName.find(NameBytes(item));
        if (found == byName.end() || fresh.entries[found->second].isFolder != item.isFolder) {
            gone[row] = anyGone = true;
            continue;
        }
        const ListedEntry& entry = fresh.entries[found->second];
        kept[found->second] = true;
        ItemStat& stat = stats_[item.id];
        if (stat.size != entry.size || stat.modifiedNs != entry.modifiedNs || stat.inode != entry.inode) {
            stat = {entry.size, entry.modifiedNs, entry.inode};
            firstChanged = firstChanged < 0 ? static_cast<int>(row) : firstChanged;
            lastChanged = static_cast<int>(row);
        }
        // A renamed item is taken out and put back where its new name belongs.
        if (std::find(renamed.begin(), renamed.end(), item.id) != renamed.end()) {
            misplaced.push_back(item);
            gone[row] = anyGone = true;
        }
    }
    if (firstChanged >= 0) {
        emit dataChanged(index(firstChanged, SizeColumn), index(lastChanged, columnCount() - 1));
    }
    ListedBatch arrived;
    for (std::size_t at = 0; at < fresh.entries.size(); ++at) {
        if (!kept[at]) {
            ListedEntry entry = fresh.entries[at];
            const std::string_view name = fresh.Name(entry);
            entry.name = static_cast<std::uint32_t>(arrived.names.size());
            arrived.names += name;
            arrived.entries.push_back(entry);
        }
    }
    std::vector<FileItem> items = ItemsOf(arrived, false);
    if (!misplaced.empty()) {
        items.insert(items.end(), misplaced.begin(), misplaced.end());
        std::stable_sort(items.begin(), items.end(),
                         [this](const FileItem& left, const FileItem& right) { return Before(left, right); });
    }
    if (anyGone) {
        Remove(gone);
        for (const FileItem& item : misplaced) {
            liveNames_ += item.nameSize;
        }
    }
    const bool came = !items.empty();
    Insert(std::move(items));
    if (anyGone || came) {
        CompactNames();
    }
    if (firstChanged >= 0 && !InDefaultOrder()) {
        Resort();
    }
}
} // namespace lmp::gui
