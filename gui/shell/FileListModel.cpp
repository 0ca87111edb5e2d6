#include "gui/shell/FileListModel.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include <QDateTime>
#include <QFileIconProvider>
#include <QLocale>

#include "core/Utf8.h"
#include "gui/desktop/NativePath.h"
#include "sys/CommandLine.h"
#include "sys/FileNames.h"
#include "sys/ShellNames.h"

namespace lmp::gui {

namespace {

// How long the folder must stay unchanged before it is read again: copying many files into it
// reads it once, not once per file.
constexpr int kSettleMs = 150;
// How often values arriving for the sort key re-sort the rows at most, and how soon a held re-sort is
// tried again.
constexpr int kResortMs = 100;

std::int64_t Milliseconds(std::int64_t nanoseconds)
{
    constexpr std::int64_t kPerMillisecond = 1'000'000;
    const std::int64_t quotient = nanoseconds / kPerMillisecond;
    return nanoseconds % kPerMillisecond < 0 ? quotient - 1 : quotient;
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

std::optional<std::int64_t> FileListColumn::SortNumber(const FileItem&) const
{
    return std::nullopt;
}

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
}

FileListModel::~FileListModel() = default;

QString FileListModel::Caption(const FileItem& item) const
{
    return QString::fromStdString(SafeText(NameBytes(item)));
}

std::filesystem::path FileListModel::PathOf(const FileItem& item) const
{
    std::filesystem::path name = sys::PathFromUtf8(std::string(NameBytes(item)));
    return item.isRoot ? name : FolderOf(item) / name;
}

std::filesystem::path FileListModel::FolderOf(const FileItem& item) const
{
    return item.folder == 0 ? folderPath_ : folderPath_ / FoundFolderOf(item);
}

std::filesystem::path FileListModel::FoundFolderOf(const FileItem& item) const
{
    return item.folder == 0 ? std::filesystem::path() : sys::PathFromUtf8(folders_[item.folder]);
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
    return types_.Name(item.type, NameBytes(item));
}

void FileListModel::SetFolder(const QString& path)
{
    StopListings();
    Empty(path, false);
    Watch();
    StartListing();
}

void FileListModel::Empty(const QString& folder, bool found)
{
    beginResetModel();
    folder_ = folder;
    folderPath_ = folder.isEmpty() ? std::filesystem::path() : NativePath(folder);
    showsFound_ = found;
    folders_.clear();
    folderNumbers_.clear();
    if (found) {
        folders_.emplace_back();
        folderNumbers_.emplace(std::string(), 0);
    }
    items_ = {};
    names_ = {};
    liveNames_ = 0;
    nextId_ = 0;
    stats_.Clear();
    nameRanksValid_ = false;
    rowsInDefaultOrder_ = true;
    renamed_.clear();
    endResetModel();
}

void FileListModel::Reload()
{
    SetFolder(folder_);
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
            return Caption(item);
        case SizeColumn:
            return item.isFolder || !Stat(item).Known()
                       ? QString()
                       : QLocale::system().formattedDataSize(static_cast<qint64>(Stat(item).size));
        case TypeColumn:
            return TypeOf(item);
        case FolderColumn:
            return showsFound_ ? PathText(FolderOf(item)) : QString();
        default:
            return item.isRoot || !Stat(item).Known()
                       ? QString()
                       : QLocale::system().toString(
                             QDateTime::fromMSecsSinceEpoch(Milliseconds(Stat(item).modifiedNs)),
                             QLocale::ShortFormat);
        }
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return index.column() == NameColumn ? QVariant(Caption(item)) : QVariant();
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
    case FolderColumn:
        return QStringLiteral("Folder");
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
    const QString caption = Caption(item);
    if (name == caption) {
        return false;
    }
    if (const QString problem = NameProblem(name); !problem.isEmpty()) {
        emit RenameFailed(QStringLiteral("Cannot rename %1 to %2: %3.").arg(caption, name, problem));
        return false;
    }
    const std::filesystem::path source = PathOf(item);
    const std::filesystem::path target = source.parent_path() / NativePath(name);
    const sys::RenameResult result = sys::RenameWithoutReplacing(source, target);
    if (result.status == sys::RenameStatus::TargetExists) {
        emit RenameFailed(QStringLiteral("Cannot rename %1: %2 already exists.").arg(caption, name));
        return false;
    }
    if (result.status != sys::RenameStatus::Renamed) {
        emit RenameFailed(QStringLiteral("Cannot rename %1 to %2: %3.")
                              .arg(caption, name, QString::fromLocal8Bit(result.error.message())));
        return false;
    }
    const std::string bytes = sys::Utf8FromPath(target.filename());
    liveNames_ += bytes.size();
    liveNames_ -= item.nameSize;
    item.name = static_cast<std::uint32_t>(names_.size());
    item.nameSize = static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
    item.type = item.isFolder ? 0 : types_.Number(bytes);
    names_ += bytes.substr(0, item.nameSize);
    renamed_.push_back(item.id);
    nameRanksValid_ = false;
    rowsInDefaultOrder_ = false;
    emit dataChanged(index, index);
    // The watcher's next reading puts the item where its new name belongs.
    settle_.start();
    return true;
}

} // namespace lmp::gui
