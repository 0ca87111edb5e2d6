#include "gui/shell/FileListModel.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <system_error>
#include <utility>

#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QMimeDatabase>

#include "core/NaturalOrder.h"
#include "gui/desktop/NativePath.h"
#include "sys/CommandLine.h"
#include "sys/FileNames.h"
#include "sys/Folder.h"
#include "sys/ShellNames.h"

namespace lmp::gui {

namespace {

// How long the folder must stay unchanged before it is read again: copying many files into it
// reads it once, not once per file.
constexpr int kSettleMs = 150;
// How often values arriving for the sort key re-sort the rows at most, and how soon a held re-sort is
// tried again.
constexpr int kResortMs = 100;

template <typename Number> int ThreeWay(Number a, Number b)
{
    return (a > b) - (a < b);
}

std::string OrderKey(const std::filesystem::path& name)
{
    return sys::Utf8FromPath(name);
}

bool ComesBefore(const FileItem& left, const FileItem& right)
{
    if (left.isFolder != right.isFolder) {
        return left.isFolder;
    }
    return NaturalLess(left.order, right.order);
}

bool SameEntry(const FileItem& left, const FileItem& right)
{
    return left.isFolder == right.isFolder && left.path == right.path;
}

// Names the file system cannot take, with the reason shown to the user.
QString NameProblem(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return QStringLiteral("it is not a usable name");
    }
    const std::string_view characters = sys::ForbiddenNameCharacters();
    const QString forbidden =
        QString::fromLatin1(characters.data(), static_cast<qsizetype>(characters.size()));
    for (const QChar character : name) {
        if (forbidden.contains(character) || character.unicode() < 32) {
            return QStringLiteral("a name cannot hold %1").arg(forbidden);
        }
    }
    return {};
}

} // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent)
{
    const QFileIconProvider icons;
    folderIcon_ = icons.icon(QAbstractFileIconProvider::Folder);
    fileIcon_ = icons.icon(QAbstractFileIconProvider::File);
    driveIcon_ = icons.icon(QAbstractFileIconProvider::Drive);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &FileListModel::Update);
    resort_.setSingleShot(true);
    resort_.setInterval(kResortMs);
    connect(&resort_, &QTimer::timeout, this, &FileListModel::Resort);
    // The game's own files, named alike on every desktop.
    types_.insert(QStringLiteral("td4"), QStringLiteral("Track design"));
    types_.insert(QStringLiteral("tp4"), QStringLiteral("Track image"));
    types_.insert(QStringLiteral("sv4"), QStringLiteral("Saved game"));
    types_.insert(QStringLiteral("sc4"), QStringLiteral("Scenario"));
}

FileListModel::~FileListModel() = default;

std::vector<FileItem> FileListModel::Read() const
{
    std::vector<FileItem> items;
    if (folder_.isEmpty()) {
        for (const QFileInfo& drive : QDir::drives()) {
            FileItem item;
            item.path = NativePath(drive.absoluteFilePath());
            item.name = drive.absoluteFilePath();
            item.order = OrderKey(item.path);
            item.isFolder = true;
            item.isRoot = true;
            items.push_back(std::move(item));
        }
        return items;
    }
    const std::filesystem::path folder = NativePath(folder_);
    std::error_code error;
    auto entries = sys::ListFolder(folder, error);
    if (!entries) {
        return items;
    }
    items.reserve(entries->size());
    for (sys::FolderEntry& entry : *entries) {
        if (entry.hidden) {
            continue;
        }
        FileItem item;
        item.order = OrderKey(entry.name);
        if (!entry.isFolder && !filter_.Shows(item.order)) {
            continue;
        }
        item.name = ShownName(entry.name);
        item.path = folder / entry.name;
        item.size = entry.size;
        item.modified = entry.modified;
        item.modifiedNs = entry.modifiedNs;
        item.inode = entry.inode;
        item.isFolder = entry.isFolder;
        items.push_back(std::move(item));
    }
    std::sort(items.begin(), items.end(), ComesBefore);
    return items;
}

void FileListModel::SetFolder(const QString& path)
{
    folder_ = path;
    Reload();
}

void FileListModel::Reload()
{
    settle_.stop();
    beginResetModel();
    items_ = Read();
    if (!InDefaultOrder()) {
        std::stable_sort(items_.begin(), items_.end(),
                         [this](const FileItem& left, const FileItem& right) { return Before(left, right); });
    }
    endResetModel();
    Watch();
}

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
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
}

void FileListModel::Update()
{
    std::vector<FileItem> fresh = Read();
    // The walk below takes both lists in the default order.
    const bool sorted = !InDefaultOrder();
    if (sorted) {
        Arrange(ComesBefore);
    }
    bool moved = false;
    // Both lists are in the same order: one walk keeps the items on both sides, drops those that
    // went and takes in those that came.
    std::size_t row = 0;
    std::size_t next = 0;
    while (row < items_.size() || next < fresh.size()) {
        if (row < items_.size() && next < fresh.size() && SameEntry(items_[row], fresh[next])) {
            FileItem& item = items_[row];
            if (item.size != fresh[next].size || item.modifiedNs != fresh[next].modifiedNs ||
                item.inode != fresh[next].inode) {
                item.size = fresh[next].size;
                item.modified = fresh[next].modified;
                item.modifiedNs = fresh[next].modifiedNs;
                item.inode = fresh[next].inode;
                emit dataChanged(index(static_cast<int>(row), SizeColumn),
                                 index(static_cast<int>(row), columnCount() - 1));
            }
            ++row;
            ++next;
        } else if (row < items_.size() && (next == fresh.size() || ComesBefore(items_[row], fresh[next]) ||
                                           !ComesBefore(fresh[next], items_[row]))) {
            // Gone, or out of place after a rename: taken out here, put back where it belongs.
            std::size_t end = row + 1;
            while (end < items_.size() && (next == fresh.size() || ComesBefore(items_[end], fresh[next]))) {
                ++end;
            }
            beginRemoveRows({}, static_cast<int>(row), static_cast<int>(end - 1));
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(row),
                         items_.begin() + static_cast<std::ptrdiff_t>(end));
            endRemoveRows();
            moved = true;
        } else {
            std::size_t end = next + 1;
            while (end < fresh.size() && (row == items_.size() || ComesBefore(fresh[end], items_[row]))) {
                ++end;
            }
            beginInsertRows({}, static_cast<int>(row), static_cast<int>(row + (end - next) - 1));
            items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(row),
                          std::make_move_iterator(fresh.begin() + static_cast<std::ptrdiff_t>(next)),
                          std::make_move_iterator(fresh.begin() + static_cast<std::ptrdiff_t>(end)));
            endInsertRows();
            row += end - next;
            next = end;
            moved = true;
        }
    }
    if (moved) {
        emit RowsMoved();
    }
    if (sorted) {
        Resort();
    }
}

bool FileListModel::Before(const FileItem& left, const FileItem& right) const
{
    if (left.isFolder != right.isFolder) {
        return left.isFolder;
    }
    bool descending = sortOrder_ == Qt::DescendingOrder;
    int order = 0;
    switch (sortColumn_) {
    case NameColumn:
        break;
    case SizeColumn:
        order = ThreeWay(left.size, right.size);
        break;
    case TypeColumn:
        order = TypeOf(left).compare(TypeOf(right), Qt::CaseInsensitive);
        break;
    case DateColumn:
        order = ThreeWay(left.modifiedNs, right.modifiedNs);
        break;
    default:
        // Blanks stay last in either direction: the column reverses its own order.
        order =
            columns_[static_cast<std::size_t>(sortColumn_ - OwnColumns)]->Compare(left, right, descending);
        descending = false;
        break;
    }
    if (descending) {
        order = -order;
    }
    if (order != 0) {
        return order < 0;
    }
    const int names = CompareNatural(left.order, right.order);
    return sortColumn_ == NameColumn && sortOrder_ == Qt::DescendingOrder ? names > 0 : names < 0;
}

void FileListModel::Arrange(const std::function<bool(const FileItem&, const FileItem&)>& before)
{
    std::vector<std::size_t> order(items_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
        return before(items_[left], items_[right]);
    });
    if (std::is_sorted(order.begin(), order.end())) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(items_.size());
    std::vector<FileItem> arranged;
    arranged.reserve(items_.size());
    for (std::size_t row = 0; row < order.size(); ++row) {
        newRow[order[row]] = static_cast<int>(row);
        arranged.push_back(std::move(items_[order[row]]));
    }
    items_ = std::move(arranged);
    // The selection model keeps its rows as persistent indexes once the layout change is announced.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from) {
        to.append(old.row() >= 0 && static_cast<std::size_t>(old.row()) < newRow.size()
                      ? index(newRow[static_cast<std::size_t>(old.row())], old.column())
                      : QModelIndex());
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit RowsMoved();
}

void FileListModel::Resort()
{
    if (orderHeld_ && orderHeld_()) {
        resort_.start();
        return;
    }
    resort_.stop();
    Arrange([this](const FileItem& left, const FileItem& right) { return Before(left, right); });
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    sortColumn_ = column >= 0 && column < columnCount() ? column : NameColumn;
    sortOrder_ = order;
    Resort();
}

void FileListModel::SetFilter(const FileFilter& filter)
{
    filter_ = filter;
}

void FileListModel::AddedColumnsChanged()
{
    if (items_.empty() || columns_.empty()) {
        return;
    }
    emit dataChanged(index(0, OwnColumns), index(rowCount() - 1, columnCount() - 1));
    if (sortColumn_ >= OwnColumns && !resort_.isActive()) {
        resort_.start();
    }
}

void FileListModel::RemoveAddedColumns()
{
    if (columns_.empty()) {
        return;
    }
    if (sortColumn_ >= OwnColumns) {
        // While the order is held the default order comes once the hold ends.
        sort(NameColumn, Qt::AscendingOrder);
    }
    beginRemoveColumns({}, OwnColumns, columnCount() - 1);
    columns_.clear();
    endRemoveColumns();
}

void FileListModel::AddColumn(std::unique_ptr<FileListColumn> column)
{
    const int at = columnCount();
    beginInsertColumns({}, at, at);
    columns_.push_back(std::move(column));
    endInsertColumns();
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : OwnColumns + static_cast<int>(columns_.size());
}

QString FileListModel::TypeOf(const FileItem& item) const
{
    if (item.isRoot) {
        return QStringLiteral("Drive");
    }
    if (item.isFolder) {
        const std::string_view folder = sys::FolderTypeName();
        return QString::fromLatin1(folder.data(), static_cast<qsizetype>(folder.size()));
    }
    const qsizetype dot = item.name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? item.name.mid(dot + 1).toLower() : QString();
    const auto known = types_.constFind(extension);
    if (known != types_.cend()) {
        return *known;
    }
    // By the name only: the database is asked about the extension, never about the contents.
    QString type;
    if (!extension.isEmpty()) {
        const QMimeType mime =
            QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
        if (!mime.isDefault()) {
            type = mime.comment().isEmpty() ? mime.name() : mime.comment();
        } else {
            type = extension.toUpper() + QStringLiteral(" File");
        }
    } else {
        type = QStringLiteral("File");
    }
    types_.insert(extension, type);
    return type;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const FileItem& item = Item(index.row());
    if (index.column() >= OwnColumns) {
        return columns_[static_cast<std::size_t>(index.column() - OwnColumns)]->Data(item, role);
    }
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return item.name;
        case SizeColumn:
            return item.isFolder ? QString()
                                 : QLocale::system().formattedDataSize(static_cast<qint64>(item.size));
        case TypeColumn:
            return TypeOf(item);
        default:
            return item.isRoot ? QString()
                               : QLocale::system().toString(QDateTime::fromMSecsSinceEpoch(item.modified),
                                                            QLocale::ShortFormat);
        }
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return index.column() == NameColumn ? QVariant(item.name) : QVariant();
    case Qt::DecorationRole:
        if (index.column() != NameColumn) {
            return {};
        }
        return item.isRoot ? driveIcon_ : item.isFolder ? folderIcon_ : fileIcon_;
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn) {
            return QVariant::fromValue(Qt::AlignTrailing | Qt::AlignVCenter);
        }
        return {};
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::InitialSortOrderRole) {
        return static_cast<int>(Qt::AscendingOrder);
    }
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole && section >= OwnColumns &&
        section < columnCount()) {
        return columns_[static_cast<std::size_t>(section - OwnColumns)]->HeaderTip();
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case NameColumn:
        return QStringLiteral("Name");
    case SizeColumn:
        return QStringLiteral("Size");
    case TypeColumn:
        return QStringLiteral("Type");
    case DateColumn:
        return QStringLiteral("Date Modified");
    default:
        return columns_[static_cast<std::size_t>(section - OwnColumns)]->Header();
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid()) {
        flags |= Qt::ItemIsDragEnabled;
        if (index.column() == NameColumn && !Item(index.row()).isRoot) {
            flags |= Qt::ItemIsEditable;
        }
    }
    return flags;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != NameColumn ||
        index.row() >= rowCount() || Item(index.row()).isRoot) {
        return false;
    }
    const QString name = value.toString();
    FileItem& item = items_[static_cast<std::size_t>(index.row())];
    if (name == item.name) {
        return false;
    }
    if (const QString problem = NameProblem(name); !problem.isEmpty()) {
        emit RenameFailed(QStringLiteral("Cannot rename %1 to %2: %3.").arg(item.name, name, problem));
        return false;
    }
    const std::filesystem::path target = item.path.parent_path() / NativePath(name);
    const sys::RenameResult result = sys::RenameWithoutReplacing(item.path, target);
    if (result.status == sys::RenameStatus::TargetExists) {
        emit RenameFailed(QStringLiteral("Cannot rename %1: %2 already exists.").arg(item.name, name));
        return false;
    }
    if (result.status != sys::RenameStatus::Renamed) {
        emit RenameFailed(QStringLiteral("Cannot rename %1 to %2: %3.")
                              .arg(item.name, name, QString::fromLocal8Bit(result.error.message())));
        return false;
    }
    item.path = target;
    item.name = ShownName(target.filename());
    item.order = OrderKey(target.filename());
    emit dataChanged(index, index);
    // The watcher's next reading puts the item where its new name belongs.
    settle_.start();
    return true;
}

} // namespace lmp::gui
