#include "gui/shell/FileListModel.h"

#include <algorithm>
#include <limits>

#include <QFileSystemWatcher>

#include "sys/CommandLine.h"

// The list as the files a search found: items from many folders below the one searched, each with the
// number of its folder, sorted like a listing's.
namespace lmp::gui {

void FileListModel::ShowFound(const QString& folder)
{
    StopListings();
    delete watcher_;
    watcher_ = nullptr;
    settle_.stop();
    Empty(folder, true);
}

void FileListModel::AddFound(std::vector<FoundFile>& found)
{
    std::vector<FileItem> items;
    items.reserve(found.size());
    for (FoundFile& file : found) {
        const std::string name = sys::Utf8FromPath(file.name);
        if (name.size() > std::numeric_limits<std::uint16_t>::max()) {
            continue; // no file system gives such a name
        }
        const auto [at, added] =
            folderNumbers_.emplace(file.folder, static_cast<std::uint32_t>(folders_.size()));
        if (added) {
            folders_.push_back(file.folder);
        }
        FileItem item;
        item.id = nextId_++;
        stats_.Reach(nextId_);
        stats_[item.id] = {file.stamp.size, file.stamp.modifiedNs, file.stamp.inode};
        item.name = static_cast<std::uint32_t>(names_.size());
        item.nameSize = static_cast<std::uint16_t>(name.size());
        item.type = types_.Number(name);
        item.folder = at->second;
        names_ += name;
        liveNames_ += name.size();
        items.push_back(item);
    }
    found.clear();
    std::stable_sort(items.begin(), items.end(),
                     [this](const FileItem& left, const FileItem& right) { return Before(left, right); });
    Insert(std::move(items));
}

} // namespace lmp::gui
