#include "gui/shell/FileListModel.h"

#include <algorithm>
#include <limits>
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
#include "core/Utf8.h"
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
// Rows that come or go in up to this many runs do so run by run; more, scattered over the list, go in at
// its end or out from there, with one layout change to move them: each run costs the views a pass over
// what they keep of the rows.
constexpr std::size_t kFewRuns = 16;
// The store of names is compacted once names of removed items take more than this beyond the live ones.
constexpr std::size_t kNameGarbage = 1 << 20;
// An item whose extension got no number of its own: its type is made from its name when asked for.
constexpr std::uint16_t kUnnumberedType = 0xFFFF;

template <typename Number> int ThreeWay(Number a, Number b)
{
    return (a > b) - (a < b);
}

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

// The extension of a name, lower case, as the type is looked up by: after the last dot, none for a name
// that starts with its only dot.
std::string LowerExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    const std::string_view extension = name.substr(dot + 1);
    if (std::all_of(extension.begin(), extension.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::string lower(extension);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        return lower;
    }
    return QString::fromStdString(SafeText(extension)).toLower().toStdString();
}

// The type shown for files of a lower-case extension, by the name alone: the database is asked about the
// extension, never about the contents.
QString TypeOfExtension(const std::string& extension)
{
    // The game's own files, named alike on every desktop.
    static const struct {
        const char* extension;
        const char* type;
    } kGameTypes[] = {
        {"td4", "Track design"}, {"tp4", "Track image"}, {"sv4", "Saved game"}, {"sc4", "Scenario"}};
    for (const auto& known : kGameTypes) {
        if (extension == known.extension) {
            return QString::fromLatin1(known.type);
        }
    }
    if (extension.empty()) {
        return QStringLiteral("File");
    }
    const QString text = QString::fromStdString(extension);
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + text, QMimeDatabase::MatchExtension);
    if (!mime.isDefault()) {
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }
    return text.toUpper() + QStringLiteral(" File");
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
    return item.isRoot ? name : folderPath_ / name;
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
    if (item.type == kUnnumberedType) {
        return TypeOfExtension(LowerExtension(NameBytes(item)));
    }
    QString& name = typeNames_[item.type];
    if (name.isNull()) {
        name = TypeOfExtension(typeExtensions_[item.type]);
    }
    return name;
}

std::uint16_t FileListModel::TypeNumber(std::string_view name)
{
    std::string extension = LowerExtension(name);
    if (const auto known = typeNumbers_.find(extension); known != typeNumbers_.end()) {
        return known->second;
    }
    if (typeExtensions_.size() >= kUnnumberedType) {
        return kUnnumberedType;
    }
    const auto number = static_cast<std::uint16_t>(typeExtensions_.size());
    typeExtensions_.push_back(extension);
    typeNames_.emplace_back();
    typeNumbers_.emplace(std::move(extension), number);
    return number;
}

void FileListModel::SetFolder(const QString& path)
{
    StopListings();
    beginResetModel();
    folder_ = path;
    folderPath_ = path.isEmpty() ? std::filesystem::path() : NativePath(path);
    items_ = {};
    names_ = {};
    liveNames_ = 0;
    nextId_ = 0;
    stats_.Clear();
    nameRanksValid_ = false;
    rowsInDefaultOrder_ = true;
    renamed_.clear();
    endResetModel();
    Watch();
    StartListing();
}

void FileListModel::Reload()
{
    SetFolder(folder_);
}

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
        item.type = entry.isFolder ? 0 : TypeNumber(name);
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
        order = ThreeWay(Stat(left).size, Stat(right).size);
        break;
    case TypeColumn:
        if (left.type != right.type || left.type == kUnnumberedType) {
            order = TypeOf(left).compare(TypeOf(right), Qt::CaseInsensitive);
        }
        break;
    case DateColumn:
        order = ThreeWay(Stat(left).modifiedNs, Stat(right).modifiedNs);
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
    const int names = CompareNatural(NameBytes(left), NameBytes(right));
    return sortColumn_ == NameColumn && sortOrder_ == Qt::DescendingOrder ? names > 0 : names < 0;
}

const std::vector<std::uint32_t>& FileListModel::NameRanks()
{
    if (nameRanksValid_ && !rowsInDefaultOrder_) {
        return nameRanks_;
    }
    nameRanks_.assign(nextId_, 0);
    std::vector<std::uint32_t> rows(items_.size());
    std::iota(rows.begin(), rows.end(), std::uint32_t{0});
    if (!rowsInDefaultOrder_) {
        std::sort(rows.begin(), rows.end(), [this](std::uint32_t left, std::uint32_t right) {
            const FileItem& a = items_[left];
            const FileItem& b = items_[right];
            return a.isFolder != b.isFolder ? a.isFolder : NaturalLess(NameBytes(a), NameBytes(b));
        });
    }
    for (std::size_t rank = 0; rank < rows.size(); ++rank) {
        nameRanks_[items_[rows[rank]].id] = static_cast<std::uint32_t>(rank);
    }
    nameRanksValid_ = true;
    return nameRanks_;
}

std::vector<std::uint32_t> FileListModel::SortedOrder()
{
    const std::size_t count = items_.size();
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), std::uint32_t{0});
    const FileListColumn* added = sortColumn_ >= OwnColumns
                                      ? columns_[static_cast<std::size_t>(sortColumn_ - OwnColumns)].get()
                                      : nullptr;
    if (added != nullptr && !added->SortsByNumber()) {
        std::stable_sort(order.begin(), order.end(), [this](std::uint32_t left, std::uint32_t right) {
            return Before(items_[left], items_[right]);
        });
        return order;
    }
    // Each row's key: folders first, blanks last, then the number, then the name's place; sorting the keys
    // compares numbers only.
    struct Key {
        std::int64_t number;
        std::uint32_t name;
        std::uint8_t group;
    };
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    std::vector<std::int64_t> typeRanks;
    if (sortColumn_ == TypeColumn) {
        std::vector<std::uint16_t> types(typeExtensions_.size());
        std::iota(types.begin(), types.end(), std::uint16_t{0});
        std::sort(types.begin(), types.end(), [this](std::uint16_t left, std::uint16_t right) {
            FileItem a;
            FileItem b;
            a.type = left;
            b.type = right;
            return TypeOf(a).compare(TypeOf(b), Qt::CaseInsensitive) < 0;
        });
        typeRanks.resize(types.size());
        for (std::size_t rank = 0; rank < types.size(); ++rank) {
            // Types that compare equal rank alike.
            const bool same = rank > 0 && TypeOf(FileItem{.type = types[rank]})
                                                  .compare(TypeOf(FileItem{.type = types[rank - 1]}),
                                                           Qt::CaseInsensitive) == 0;
            typeRanks[types[rank]] = same ? typeRanks[types[rank - 1]] : static_cast<std::int64_t>(rank);
        }
    }
    const std::vector<std::uint32_t>& ranks = NameRanks();
    std::vector<Key> keys(count);
    for (std::size_t row = 0; row < count; ++row) {
        const FileItem& item = items_[row];
        Key& key = keys[row];
        key.group = item.isFolder ? 0 : 2;
        key.name = ranks[item.id];
        key.number = 0;
        switch (sortColumn_) {
        case NameColumn:
            key.name = descending ? ~key.name : key.name;
            break;
        case SizeColumn:
            key.number = static_cast<std::int64_t>(
                std::min<std::uint64_t>(Stat(item).size, std::numeric_limits<std::int64_t>::max()));
            break;
        case TypeColumn:
            key.number = item.isFolder || item.isRoot   ? 0
                         : item.type == kUnnumberedType ? static_cast<std::int64_t>(typeRanks.size())
                                                        : typeRanks[item.type];
            break;
        case DateColumn:
            key.number = Stat(item).modifiedNs;
            break;
        default:
            if (const std::optional<std::int64_t> number = added->SortNumber(item)) {
                key.number = *number;
            } else {
                key.group += 1; // blanks last, in either direction
            }
            break;
        }
        if (descending && sortColumn_ != NameColumn) {
            key.number = ~key.number;
        }
    }
    std::stable_sort(order.begin(), order.end(), [&keys](std::uint32_t left, std::uint32_t right) {
        const Key& a = keys[left];
        const Key& b = keys[right];
        if (a.group != b.group) {
            return a.group < b.group;
        }
        if (a.number != b.number) {
            return a.number < b.number;
        }
        return a.name < b.name;
    });
    return order;
}

void FileListModel::Arrange(const std::vector<std::uint32_t>& order)
{
    const std::size_t count = items_.size();
    if (std::is_sorted(order.begin(), order.end())) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    {
        std::vector<std::uint32_t> newRow(count);
        for (std::size_t row = 0; row < count; ++row) {
            newRow[order[row]] = static_cast<std::uint32_t>(row);
        }
        for (const QModelIndex& old : from) {
            to.append(old.row() >= 0 && static_cast<std::size_t>(old.row()) < count
                          ? index(static_cast<int>(newRow[static_cast<std::size_t>(old.row())]), old.column())
                          : QModelIndex());
        }
    }
    // The items move along the cycles of the order, in place.
    std::vector<bool> placed(count, false);
    for (std::size_t start = 0; start < count; ++start) {
        if (placed[start]) {
            continue;
        }
        const FileItem held = items_[start];
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const std::size_t source = order[at];
            if (source == start) {
                items_[at] = held;
                break;
            }
            items_[at] = items_[source];
            at = source;
        }
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
    Arrange(SortedOrder());
    rowsInDefaultOrder_ = InDefaultOrder();
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
    item.type = item.isFolder ? 0 : TypeNumber(bytes);
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
