#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QTimer>

#include "gui/desktop/FileFilter.h"

class QFileSystemWatcher;

namespace lmp::gui {

// One entry of the file list.
struct FileItem {
    std::filesystem::path path; // the real path, the name's bytes as the system stores them
    QString name;               // as shown: bytes that are no UTF-8 show as U+FFFD
    std::string order;          // the name's bytes (UTF-8 on Windows), for lmp::NaturalLess
    std::uint64_t size = 0;
    std::int64_t modified = 0; // milliseconds since 1970-01-01 UTC
    std::int64_t modifiedNs = 0;
    std::uint64_t inode = 0;
    bool isFolder = false;
    bool isRoot = false; // a file-system root listed for the desktop
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
};

// The file list's items: the folders and files of one folder, hidden ones and those the filter
// leaves out left out, folders first, then names in lmp::NaturalLess order of their bytes, or by the
// column chosen with sort() (folders still first, ties in name order). Columns Name, Size, Type (from the
// name alone) and Date Modified, then any added ones; the name is also the Name cell's tooltip data. The
// folder is watched: entries that come and go on disk come and go in the list, as row insertions and
// removals, so the rows around them keep their selection.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, TypeColumn, DateColumn, OwnColumns };

    explicit FileListModel(QObject* parent = nullptr);
    ~FileListModel() override;

    // Lists the folder at path anew (the file-system roots for an empty path); a folder that cannot
    // be listed gives no items.
    void SetFolder(const QString& path);
    // Lists the folder shown again, from scratch.
    void Reload();
    QString Folder() const { return folder_; }

    // The item at row; row must be within rowCount().
    const FileItem& Item(int row) const { return items_[static_cast<std::size_t>(row)]; }
    // Appends a column to the right of the others.
    void AddColumn(std::unique_ptr<FileListColumn> column);
    // Takes away every added column.
    void RemoveAddedColumns();
    // The added columns' data changed for every row: shown anew, and the rows re-sorted when one of
    // them is the sort key.
    void AddedColumnsChanged();

    // Lists only the files the filter shows (folders always), from the next reading of the folder on.
    void SetFilter(const FileFilter& filter);
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
    // Rows came or went after a change on disk or a rename: row numbers held before stand for other items.
    void RowsMoved();
    // A rename was refused; message says why, the names in it as plain text.
    void RenameFailed(const QString& message);

private:
    std::vector<FileItem> Read() const;
    void Update();
    void Watch();
    bool Before(const FileItem& left, const FileItem& right) const;
    // Puts the rows in the order of before, as one layout change.
    void Arrange(const std::function<bool(const FileItem&, const FileItem&)>& before);
    void Resort();
    QString TypeOf(const FileItem& item) const;

    QString folder_;
    std::vector<FileItem> items_;
    std::vector<std::unique_ptr<FileListColumn>> columns_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer settle_; // lets a burst of changes on disk end before the folder is read again
    QTimer resort_; // gathers the values arriving for the sort key into one re-sort
    FileFilter filter_;
    std::function<bool()> orderHeld_;
    int sortColumn_ = NameColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    mutable QHash<QString, QString> types_; // by lower-case extension
    QIcon folderIcon_;
    QIcon fileIcon_;
    QIcon driveIcon_;
};

} // namespace lmp::gui
