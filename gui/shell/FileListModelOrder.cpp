#include "gui/shell/FileListModel.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "core/NaturalOrder.h"

// The rows' order: folders first, then by the sort column with ties in the natural order of names. A
// re-sort orders keys of plain numbers (the name's place among the names, the size, the type's rank),
// or calls an added column's own comparison where it has no numbers, then moves the rows in place as one
// layout change.
namespace lmp::gui {

namespace {

template <typename Number> int ThreeWay(Number a, Number b)
{
    return (a > b) - (a < b);
}

} // namespace

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
        if (left.type != right.type || left.type == FileTypeNames::kUnnumbered) {
            order = TypeOf(left).compare(TypeOf(right), Qt::CaseInsensitive);
        }
        break;
    case DateColumn:
        order = ThreeWay(Stat(left).modifiedNs, Stat(right).modifiedNs);
        break;
    case FolderColumn:
        if (left.folder != right.folder) {
            order = CompareNatural(folders_[left.folder], folders_[right.folder]);
        }
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
        std::vector<std::uint16_t> types(types_.Count());
        std::iota(types.begin(), types.end(), std::uint16_t{0});
        std::sort(types.begin(), types.end(), [this](std::uint16_t left, std::uint16_t right) {
            FileItem a;
            FileItem b;
            a.type = left;
            b.type = right;
            return TypeOf(a).compare(TypeOf(b), Qt::CaseInsensitive) < 0;
        });
        typeRanks.assign(types.size(), std::int64_t{0});
        for (std::size_t rank = 0; rank < types.size(); ++rank) {
            // Types that compare equal rank alike.
            const bool same = rank > 0 && TypeOf(FileItem{.type = types[rank]})
                                                  .compare(TypeOf(FileItem{.type = types[rank - 1]}),
                                                           Qt::CaseInsensitive) == 0;
            typeRanks[types[rank]] = same ? typeRanks[types[rank - 1]] : static_cast<std::int64_t>(rank);
        }
    }
    std::vector<std::int64_t> folderRanks;
    if (sortColumn_ == FolderColumn) {
        std::vector<std::uint32_t> folders(folders_.size());
        std::iota(folders.begin(), folders.end(), std::uint32_t{0});
        std::sort(folders.begin(), folders.end(), [this](std::uint32_t left, std::uint32_t right) {
            return NaturalLess(folders_[left], folders_[right]);
        });
        folderRanks.assign(folders.size(), std::int64_t{0});
        for (std::size_t rank = 0; rank < folders.size(); ++rank) {
            folderRanks[folders[rank]] = static_cast<std::int64_t>(rank);
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
            key.number = item.isFolder || item.isRoot ? 0
                         : item.type == FileTypeNames::kUnnumbered
                             ? static_cast<std::int64_t>(typeRanks.size())
                             : typeRanks[item.type];
            break;
        case DateColumn:
            key.number = Stat(item).modifiedNs;
            break;
        case FolderColumn:
            key.number = folderRanks.empty() ? 0 : folderRanks[item.folder];
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
} // namespace lmp::gui
