#include "gui/shell/FileListModel.h"

#include <algorithm>
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
#include "sys/Folder.h"

namespace lmp::gui {

namespace {

// How long the folder must stay unchanged before it is read again: copying many files into it
// reads it once, not once per file.
constexpr int kSettleMs = 150;

QString ShownName(const std::filesystem::path& name)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(name.native());
#else
    // Invalid UTF-8 sequences decode as U+FFFD, so the name shows as far as it can be read.
    return QString::fromUtf8(name.native().data(), static_cast<qsizetype>(name.native().size()));
#endif
}

std::string OrderKey(const std::filesystem::path& name)
{
#ifdef Q_OS_WIN
    const std::u8string bytes = name.u8string();
    return std::string(bytes.begin(), bytes.end());
#else
    return name.native();
#endif
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
#ifdef Q_OS_WIN
    const QString forbidden = QStringLiteral("\\/:*?\"<>|");
#else
    const QString forbidden = QStringLiteral("/");
#endif
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
        item.name = ShownName(entry.name);
        item.order = OrderKey(entry.name);
        item.path = folder / entry.name;
        item.size = entry.size;
        item.modified = entry.modified;
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
    watcher_ = new QFileSystemWatcher(this);
    watcher_->addPath(folder_);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
}

void FileListModel::Update()
{
    std::vector<FileItem> fresh = Read();
    bool moved = false;
    // Both lists are in the same order: one walk keeps the items on both sides, drops those that
    // went and takes in those that came.
    std::size_t row = 0;
    std::size_t next = 0;
    while (row < items_.size() || next < fresh.size()) {
        if (row < items_.size() && next < fresh.size() && SameEntry(items_[row], fresh[next])) {
            FileItem& item = items_[row];
            if (item.size != fresh[next].size || item.modified != fresh[next].modified) {
                item.size = fresh[next].size;
                item.modified = fresh[next].modified;
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
#ifdef Q_OS_WIN
        return QStringLiteral("File Folder");
#else
        return QStringLiteral("Folder");
#endif
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
