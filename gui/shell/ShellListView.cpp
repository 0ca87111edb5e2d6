#include "gui/shell/ShellListView.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "gui/shell/FolderFirstOrder.h"

namespace lmp::gui {

// Holds back the list's notifications while one user action changes the selection and the focus,
// so that they go out once the states are final, the focused item last.
class TShellListView::NotificationBatch {
public:
    explicit NotificationBatch(TShellListView& list, bool concernsAll = false) : list_(list)
    {
        ++list_.batchDepth_;
        list_.batchConcernsAll_ = list_.batchConcernsAll_ || concernsAll;
    }
    ~NotificationBatch()
    {
        if (--list_.batchDepth_ == 0) {
            list_.FlushNotifications();
        }
    }
    NotificationBatch(const NotificationBatch&) = delete;
    NotificationBatch& operator=(const NotificationBatch&) = delete;

private:
    TShellListView& list_;
};

TShellListView::TShellListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    // startDrag decides whether a drag really begins.
    setDragDropMode(QAbstractItemView::DragOnly);
    connect(this, &QAbstractItemView::activated, this, &TShellListView::OnActivated);
    CreateModel();
    ShowFolderRoot();
}

void TShellListView::CreateModel()
{
    // Each folder gets a model of its own, read when it is opened: a model kept from an earlier
    // visit could show files that have gone since. Changes on disk are not followed, so items keep
    // their indexes until the folder is read again.
    auto* files = new QFileSystemModel(this);
    files->setOption(QFileSystemModel::DontWatchForChanges);
    files->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);
    files->setReadOnly(false);
    auto* order = new FolderFirstOrder(this);
    order->setSourceModel(files);
    order->setDynamicSortFilter(true);
    order->sort(0, Qt::AscendingOrder);

    QItemSelectionModel* oldSelection = selectionModel();
    if (oldSelection != nullptr) {
        // The header follows the selection and the root; left as they are, it would map them
        // through the new model.
        oldSelection->clear();
        setRootIndex(QModelIndex());
    }
    setModel(order);
    delete oldSelection;
    if (order_ != nullptr) {
        order_->deleteLater();
        files_->deleteLater();
    }
    files_ = files;
    order_ = order;
    ++contentsVersion_;
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TShellListView::OnSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TShellListView::OnCurrentChanged);
    connect(files, &QFileSystemModel::directoryLoaded, this, [this, files](const QString& path) {
        if (files == files_ && path == files_->rootPath()) {
            emit Listed();
        }
    });

    header()->setStretchLastSection(false);
    header()->resizeSection(0, 200);
    header()->resizeSection(1, 80);
    header()->resizeSection(2, 90);
    header()->resizeSection(3, 130);
}

void TShellListView::ShowFolderRoot()
{
    const QModelIndex source = files_->setRootPath(folder_);
    setRootIndex(folder_.isEmpty() ? QModelIndex() : order_->mapFromSource(source));
}

void TShellListView::SetFolder(const QString& path)
{
    if (path == folder_) {
        return;
    }
    folder_ = path;
    Refresh();
}

void TShellListView::Refresh()
{
    NotificationBatch batch(*this, true);
    CreateModel();
    ShowFolderRoot();
}

QModelIndex TShellListView::ItemAt(int index) const
{
    return index < 0 ? QModelIndex() : order_->index(index, 0, rootIndex());
}

int TShellListView::ItemCount() const
{
    return order_->rowCount(rootIndex());
}

int TShellListView::SelectionCount() const
{
    // Counted from the selection's row ranges rather than its cells: a Shift-click over a large
    // folder sends a notification per item, and each one asks for the count.
    const QModelIndex root = rootIndex();
    std::vector<std::pair<int, int>> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.isValid() && range.parent() == root && range.left() == 0) {
            rows.emplace_back(range.top(), range.bottom());
        }
    }
    std::sort(rows.begin(), rows.end());
    int count = 0;
    int counted = -1; // the last row counted, so that overlapping ranges count their rows once
    for (const auto& [top, bottom] : rows) {
        if (bottom > counted) {
            count += bottom - std::max(top, counted + 1) + 1;
            counted = bottom;
        }
    }
    return count;
}

bool TShellListView::Selected(int index) const
{
    const QModelIndex item = ItemAt(index);
    return item.isValid() && selectionModel()->isSelected(item);
}

void TShellListView::SetSelected(int index, bool selected)
{
    const QModelIndex item = ItemAt(index);
    if (item.isValid()) {
        selectionModel()->select(item,
                                 (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                     QItemSelectionModel::Rows);
    }
}

void TShellListView::ClearSelection()
{
    NotificationBatch batch(*this, true);
    selectionModel()->clearSelection();
}

QString TShellListView::Caption(int index) const
{
    const QModelIndex item = ItemAt(index);
    return item.isValid() ? item.data(Qt::DisplayRole).toString() : QString();
}

bool TShellListView::Focused(int index) const
{
    const QModelIndex current = currentIndex();
    return index >= 0 && current.isValid() && current.row() == index && current.parent() == rootIndex();
}

QString TShellListView::ItemPath(int index) const
{
    const QModelIndex item = ItemAt(index);
    if (!item.isValid()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return files_->filePath(order_->mapToSource(item));
}

void TShellListView::BeginDrag()
{
    dragPending_ = true;
}

void TShellListView::startDrag(Qt::DropActions)
{
    if (!std::exchange(dragPending_, false)) {
        return;
    }
    QList<QUrl> urls;
    const int count = ItemCount();
    for (int index = 0; index < count; ++index) {
        if (Selected(index)) {
            urls << QUrl::fromLocalFile(ItemPath(index));
        }
    }
    if (urls.isEmpty()) {
        return;
    }
    auto* payload = new QMimeData;
    payload->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(payload);
    RunDrag(drag);
}

void TShellListView::RunDrag(QDrag* drag)
{
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void TShellListView::selectAll()
{
    NotificationBatch batch(*this, true);
    QTreeView::selectAll();
}

void TShellListView::mousePressEvent(QMouseEvent* event)
{
    dragPending_ = false;
    // With dragging on, a plain press on a selected item keeps the selection until the release, so
    // that several selected items can be dragged. Ctrl- and Shift-clicks keep it off: Qt would leave
    // a Ctrl-click on a selected item to the release, which never deselects it.
    setDragEnabled(!event->modifiers().testAnyFlags(Qt::ControlModifier | Qt::ShiftModifier));
    {
        NotificationBatch batch(*this);
        QTreeView::mousePressEvent(event);
    }
    emit MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TShellListView::mouseMoveEvent(QMouseEvent* event)
{
    NotificationBatch batch(*this);
    QTreeView::mouseMoveEvent(event);
}

void TShellListView::mouseReleaseEvent(QMouseEvent* event)
{
    dragPending_ = false;
    NotificationBatch batch(*this);
    QTreeView::mouseReleaseEvent(event);
}

void TShellListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    NotificationBatch batch(*this);
    QTreeView::mouseDoubleClickEvent(event);
}

void TShellListView::keyPressEvent(QKeyEvent* event)
{
    NotificationBatch batch(*this);
    QTreeView::keyPressEvent(event);
}

void TShellListView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    ++selectionVersion_;
    for (const QModelIndex& index : deselected.indexes()) {
        Touch(index);
    }
    for (const QModelIndex& index : selected.indexes()) {
        Touch(index);
    }
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}

void TShellListView::OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    Touch(previous);
    Touch(current);
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}

void TShellListView::Touch(const QModelIndex& index)
{
    if (index.isValid()) {
        touched_.append(QPersistentModelIndex(index.siblingAtColumn(0)));
    }
}

void TShellListView::FlushNotifications()
{
    const bool concernsAll = std::exchange(batchConcernsAll_, false);
    const QList<QPersistentModelIndex> touched = std::exchange(touched_, {});
    if (concernsAll) {
        emit Change(kAllItems);
        return;
    }
    const QModelIndex root = rootIndex();
    std::set<int> rows;
    for (const QPersistentModelIndex& index : touched) {
        if (index.isValid() && index.parent() == root) {
            rows.insert(index.row());
        }
    }
    const QModelIndex current = currentIndex();
    const int focusedRow = current.isValid() && current.parent() == root ? current.row() : kAllItems;
    for (const int row : rows) {
        if (row != focusedRow) {
            emit Change(row);
        }
    }
    if (rows.contains(focusedRow)) {
        emit Change(focusedRow);
    }
}

void TShellListView::OnActivated(const QModelIndex& index)
{
    const QModelIndex source = order_->mapToSource(index.siblingAtColumn(0));
    const QString path = files_->filePath(source);
    if (files_->isDir(source)) {
        SetFolder(path);
        emit FolderOpened(path);
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        emit OpenFailed(path);
    }
}

} // namespace lmp::gui
