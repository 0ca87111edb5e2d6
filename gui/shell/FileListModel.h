#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <QTimer>

#include "gui/desktop/FileFilter.h"
#include "gui/shell/FileTypeNames.h"
#include "gui/shell/FolderListing.h"
#include "scan/TreeSearch.h"

class QFileSystemWatcher;

namespace lmp::gui {

// One entry of the file list, kept small: a list holds a whole collection. Its name's bytes are kept
// once, by the list (FileListModel::NameBytes), its size and time by its number (FileListModel::Stat),
// and its text, path and type are made when asked for.
struct FileItem {
    std::uint32_t id = 0;   // the item's number, unique while the list shows this reading of its folder
    std::uint32_t name = 0; // where its name's bytes start in the list's store of names
    std::uint16_t nameSize = 0;
    std::uint16_t type = 0;   // the list's number for its type (its extension)
    std::uint32_t folder = 0; // a found file's folder (FileListModel::FolderOf); 0 for the folder listed
    bool isFolder = false;
    bool isRoot = false; // a file-system root listed for the desktop
};

// What the file system says of an item besides its name: the list's columns and the stamps of its files.
struct ItemStat {
    static constexpr std::int64_t kUnknown = std::numeric_limits<std::int64_t>::min();

    std::uint64_t size = 0;
    std::int64_t modifiedNs = kUnknown; // last write, nanoseconds since 1970-01-01 UTC
    std::uint64_t inode = 0;

    // False until the folder's listing has read it.
    bool Known() const { return modifiedNs != kUnknown; }
};

// Items' stats by item number, kept in blocks, so that a list that grows never moves those it has.
class ItemStats {
public:
    ItemStat& operator[](std::uint32_t id) { return blocks_[id >> kShift][id & kMask]; }
    const ItemStat& operator[](std::uint32_t id) const { return blocks_[id >> kShift][id & kMask]; }
    // Makes room for the numbers below count, each unknown at first.
    void Reach(std::size_t count)
    {
        while (blocks_.size() << kShift < count) {
            blocks_.push_back(std::make_unique<ItemStat[]>(std::size_t{1} << kShift));
        }
    }
    std::size_t Size() const { return blocks_.size() << kShift; }
    void Clear() { blocks_.clear(); }

private:
    static constexpr unsigned kShift = 12;
    static constexpr std::uint32_t kMask = (1u << kShift) - 1;
    std::vector<std::unique_ptr<ItemStat[]>> blocks_;
};

// A column after the list's own four. Nothing reads the file for the list's own columns; a
// column added here decides for itself what it reads, and when.
class FileListColumn {
public:
    virtual ~FileListColumn() = default;
    virtual QString Header() const = 0;
    // What the header's tip says of the column: what it holds, in which unit; none when empty.
    virtual QString HeaderTip() const { return {}; }
    // The item's data for role in this column; an empty QVariant where it has none.
    virtual QVariant Data(const FileItem& item, int role) const = 0;
    // Orders two items by this column, descending when asked, blanks last either way: negative,
    // zero (no order between them) or positive.
    virtual int Compare(const FileItem& a, const FileItem& b, bool descending) const = 0;
    // Whether the column orders by a number of each item, SortNumber: then the list sorts by the numbers
    // without calling Compare, in a fraction of the time.
    virtual bool SortsByNumber() const { return false; }
    // The item's number in this column; none for a blank cell.
    virtual std::optional<std::int64_t> SortNumber(const FileItem& item) const;
};

// The file list's items: the folders and files of one folder, hidden ones and those the filter
// leaves out left out, folders first, then names in lmp::NaturalLess order of their bytes, or by the
// column chosen with sort() (folders still first, ties in name order). Columns Name, Size, Type (from the
// name alone) and Date Modified, then any added ones; the name is also the Name cell's tooltip data. The
// folder is read on a thread of its own (FolderListing): the items come in batches, as row insertions in
// their sorted places, and Listed follows the last; a folder that is slow or stops answering holds up nothing
// else. The folder is watched: entries that come and go on disk come and go in the list, as row insertions
// and removals, so the rows around them keep their selection.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // FolderColumn holds the folder of each file a search found; the view shows it only then.
    enum Column { NameColumn, SizeColumn, TypeColumn, DateColumn, FolderColumn, OwnColumns };

    explicit FileListModel(QObject* parent = nullptr);
    ~FileListModel() override;

    // Lists the folder at path anew (the file-system roots for an empty path), from no items; a folder
    // that cannot be listed gives none. A listing still running is given up.
    void SetFolder(const QString& path);
    // Lists the folder shown again, from scratch.
    void Reload();

    // Empties the list for the files a search of folder (the tree below it) finds: found files come in
    // through AddFound, in their sorted places, each with its own folder; nothing is listed or watched
    // until SetFolder.
    void ShowFound(const QString& folder);
    // Puts found files in the list; found is left empty.
    void AddFound(std::vector<FoundFile>& found);
    // The list holds found files (ShowFound), not a folder's listing.
    bool ShowsFound() const { return showsFound_; }
    // The folder of the item, as the system names it.
    std::filesystem::path FolderOf(const FileItem& item) const;
    // A found item's folder below the folder searched, as FoundFile::folder names it.
    std::filesystem::path FoundFolderOf(const FileItem& item) const;
    QString Folder() const { return folder_; }
    // The folder's path as the system names it; empty for the desktop.
    const std::filesystem::path& FolderPath() const { return folderPath_; }
    // From SetFolder or Reload until Listed.
    bool Listing() const { return (listing_ != nullptr && !named_) || listedPending_; }
    // From SetFolder or Reload until every item's size and time are known (see Stat).
    bool Detailing() const { return listing_ != nullptr || listedPending_; }
    // A re-sort is waiting: for values of the sort key to settle, or for the order to be no longer held.
    bool Sorting() const { return resort_.isActive(); }

    // The item at row; row must be within rowCount().
    const FileItem& Item(int row) const { return items_[static_cast<std::size_t>(row)]; }
    // The item's name as the system stores it (UTF-8 on Windows): the key of its natural order.
    std::string_view NameBytes(const FileItem& item) const
    {
        return {names_.data() + item.name, item.nameSize};
    }
    // The item's size, time and inode; not yet known for a while after Listed on systems whose listing of
    // a folder gives names alone: they follow as a change of the Size and Date columns of every row.
    const ItemStat& Stat(const FileItem& item) const { return stats_[item.id]; }
    // The item's name as shown (see ShownName).
    QString Caption(const FileItem& item) const;
    // The item's full path, its name's bytes as the system stores them.
    std::filesystem::path PathOf(const FileItem& item) const;
    QString TypeOf(const FileItem& item) const;
    // Above every item's id since the folder was last listed anew (modelReset).
    std::uint32_t IdLimit() const { return nextId_; }

    // Appends a column to the right of the others.
    void AddColumn(std::unique_ptr<FileListColumn> column);
    // Takes away every added column.
    void RemoveAddedColumns();
    // The added columns' data changed for every row: shown anew, and the rows re-sorted when one of
    // them is the sort key.
    void AddedColumnsChanged();

    // Lists only the files the filter shows (folders always), from the next reading of the folder on.
    void SetFilter(const FileFilter& filter);
    const FileFilter& Filter() const { return filter_; }
    // While held returns true, the rows keep their order: a re-sort waits until it returns false.
    void SetOrderHeld(std::function<bool()> held) { orderHeld_ = std::move(held); }
    // Folders first, then names in ascending natural order.
    bool InDefaultOrder() const { return sortColumn_ == NameColumn && sortOrder_ == Qt::AscendingOrder; }
    // Orders the rows by the column; NameColumn ascending is the default order. Persistent indexes,
    // the selection among them, follow their items.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Renames the item's file (Name column, edit role), never replacing another; a refused name or a
    // failed rename is reported through RenameFailed and changes nothing.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // The folder has been read: every item is in the list.
    void Listed();
    // Every item's size and time are in (Detailing() has turned false): after Listed, at once where the
    // listing of a folder gives them with the names.
    void Detailed();
    // Rows came or went, after a change on disk, a rename or a batch of the listing: row numbers held
    // before stand for other items.
    void RowsMoved();
    // A rename was refused; message says why, the names in it as plain text.
    void RenameFailed(const QString& message);

private:
    // No items, the folder shown set, a listing's or found files' list; one model reset.
    void Empty(const QString& folder, bool found);
    void StartListing();
    void StopListings();
    void EndListing();
    void TakeStats(const std::vector<EntryStat>& stats);
    // The batch's entries as items, sorted by Before; numbered by their order of reading, or anew.
    std::vector<FileItem> ItemsOf(ListedBatch& batch, bool bySequence);
    void Update();
    void ApplyUpdate(ListedBatch& fresh);
    void Watch();
    bool Before(const FileItem& left, const FileItem& right) const;
    // Puts the items, sorted by Before, in their places among the rows.
    void Insert(std::vector<FileItem> items);
    // Takes away the rows marked.
    void Remove(const std::vector<bool>& gone);
    // The rows' order by the sort column: order[row] is the row whose item comes to row.
    std::vector<std::uint32_t> SortedOrder();
    // The items' places in the default order, by item number.
    const std::vector<std::uint32_t>& NameRanks();
    // Puts the rows in that order, as one layout change.
    void Arrange(const std::vector<std::uint32_t>& order);
    void Resort();
    // Keeps the names of the items only, once garbage from removed ones outweighs them.
    void CompactNames();

    QString folder_;
    std::filesystem::path folderPath_;
    bool showsFound_ = false;
    // Found files' folders below folderPath_ (UTF-8), by FileItem::folder; the first is folderPath_'s own.
    std::vector<std::string> folders_;
    std::unordered_map<std::string, std::uint32_t> folderNumbers_;
    std::vector<FileItem> items_;
    std::string names_; // the items' names' bytes, one after another
    std::size_t liveNames_ = 0;
    std::uint32_t nextId_ = 0;
    ItemStats stats_; // by item number
    std::vector<std::uint32_t> nameRanks_;
    bool nameRanksValid_ = false;
    bool rowsInDefaultOrder_ = true; // the rows stand in the default order now
    std::vector<std::unique_ptr<FileListColumn>> columns_;
    std::unique_ptr<FolderListing, DeleteLater> listing_; // the folder being read
    std::unique_ptr<FolderListing, DeleteLater> update_;  // a re-reading after changes on disk
    ListedBatch updated_;                                 // what update_ has read
    bool named_ = false;                                  // listing_ has handed over every item
    bool listedPending_ = false;                          // the desktop, listed, Listed not yet sent
    bool changedWhileListing_ = false;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer settle_; // lets a burst of changes on disk end before the folder is read again
    QTimer resort_; // gathers the values arriving for the sort key into one re-sort
    FileFilter filter_;
    std::function<bool()> orderHeld_;
    int sortColumn_ = NameColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    std::vector<std::uint32_t> renamed_; // ids of items renamed, to put where their new names belong
    FileTypeNames types_;
    QIcon folderIcon_;
    QIcon fileIcon_;
    QIcon driveIcon_;
};

} // namespace lmp::gui
