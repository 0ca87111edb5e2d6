#include "gui/shell/ShellListView.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QDrag>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "gui/desktop/NativePath.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/NameEditor.h"
#include "gui/shell/ShellListViewBatch.h"

namespace lmp::gui {

TShellListView::TShellListView(QWidget* parent) : QTreeView(parent), model_(new FileListModel(this))
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    // A click on a selected item never edits: the second slow click is told apart in the mouse handlers.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setItemDelegate(new NameEditor(this));
    // startDrag decides whether a drag really begins.
    setDragDropMode(QAbstractItemView::DragOnly);
    // Connected before the selection model is: the staged selections reach it before the rows change
    // under it. A reset drops them with the selection.
    for (const auto aboutToChange :
         {&QAbstractItemModel::rowsAboutToBeInserted, &QAbstractItemModel::rowsAboutToBeRemoved,
          &QAbstractItemModel::columnsAboutToBeInserted, &QAbstractItemModel::columnsAboutToBeRemoved}) {
        connect(model_, aboutToChange, this, &TShellListView::CommitSelection);
    }
    connect(model_, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &TShellListView::KeepSelectionAcrossSort);
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { selection_.DropStaged(); });
    setModel(model_);
    // The header asks the selection model whether each column is wholly selected whenever it paints,
    // which costs as much as the selection has ranges; it shows no selection, so its own stays empty.
    header()->setSelectionModel(new QItemSelectionModel(model_, header()));
    commitTimer_.setSingleShot(true);
    connect(&commitTimer_, &QTimer::timeout, this, &TShellListView::CommitSelection);
    renameTimer_.setSingleShot(true);
    connect(&renameTimer_, &QTimer::timeout, this, &TShellListView::RenameIfStillAlone);
    connect(this, &QAbstractItemView::activated, this, &TShellListView::OnActivated);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TShellListView::OnSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TShellListView::OnCurrentChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        ++contentsVersion_;
        hoverRow_ = -1;
        CountSelection();
    });
    connect(model_, &FileListModel::RowsMoved, this, &TShellListView::OnRowsMoved);
    connect(model_, &QAbstractItemModel::columnsInserted, this, &TShellListView::WidenSelection);
    connect(model_, &FileListModel::RenameFailed, this, &TShellListView::RenameFailed);
    connect(model_, &FileListModel::Listed, this, &TShellListView::Listed);

    model_->SetOrderHeld([this] {
        return state() == EditingState || QApplication::mouseButtons() != Qt::NoButton ||
               (orderHeld_ && orderHeld_());
    });
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(FileListModel::NameColumn, Qt::AscendingOrder);
    connect(header(), &QHeaderView::sortIndicatorChanged, model_,
            [this](int column, Qt::SortOrder order) { model_->sort(column, order); });
    header()->setStretchLastSection(false);
    header()->resizeSection(0, 200);
    header()->resizeSection(1, 80);
    header()->resizeSection(2, 90);
    header()->resizeSection(3, 130);
    header()->resizeSection(FileListModel::FolderColumn, 250);
    Refresh();
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
    renameTimer_.stop();
    model_->SetFolder(folder_);
    header()->hideSection(FileListModel::FolderColumn);
}

void TShellListView::ShowFound(bool folders)
{
    NotificationBatch batch(*this, true);
    renameTimer_.stop();
    model_->ShowFound(folder_);
    header()->setSectionHidden(FileListModel::FolderColumn, !folders);
}

bool TShellListView::Listing() const
{
    return model_->Listing();
}

void TShellListView::SortBy(int column, Qt::SortOrder order)
{
    header()->setSortIndicator(column, order);
}

void TShellListView::OnRowsMoved()
{
    ++contentsVersion_;
    hoverRow_ = -1;
    RestoreSelectionAfterSort();
    CountSelection();
    // The rows held for the pending notifications may now stand for other items.
    touched_.clear();
    batchConcernsAll_ = batchDepth_ > 0;
}
QModelIndex TShellListView::ItemAt(int index) const
{
    return index < 0 ? QModelIndex() : model_->index(index, 0);
}

int TShellListView::ItemCount() const
{
    return model_->rowCount();
}

int TShellListView::SelectionCount() const
{
    return selection_.Count();
}

bool TShellListView::Selected(int index) const
{
    return selection_.Selected(index);
}
QString TShellListView::Caption(int index) const
{
    return index >= 0 && index < ItemCount() ? model_->Caption(model_->Item(index)) : QString();
}

bool TShellListView::Focused(int index) const
{
    const QModelIndex current = currentIndex();
    return index >= 0 && current.isValid() && current.row() == index;
}

std::filesystem::path TShellListView::ItemFile(int index) const
{
    if (index < 0 || index >= ItemCount()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return model_->PathOf(model_->Item(index));
}

QString TShellListView::ItemPath(int index) const
{
    return PathText(ItemFile(index));
}

bool TShellListView::IsFolder(int index) const
{
    return index >= 0 && index < ItemCount() && model_->Item(index).isFolder;
}

void TShellListView::EditName(int index)
{
    const QModelIndex item = ItemAt(index);
    if (item.isValid()) {
        setCurrentIndex(item);
        QTreeView::edit(item);
    }
}

bool TShellListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    return QTreeView::edit(index.isValid() ? index.siblingAtColumn(FileListModel::NameColumn) : index,
                           trigger, event);
}
void TShellListView::RenameIfStillAlone()
{
    if (renameRow_ >= 0 && SelectionCount() == 1 && Selected(renameRow_) && Focused(renameRow_)) {
        QTreeView::edit(ItemAt(renameRow_));
    }
    renameRow_ = -1;
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
    dragStarted_ = true;
    QList<QUrl> urls;
    const int count = ItemCount();
    for (int index = 0; index < count; ++index) {
        if (Selected(index)) {
            urls << FileUrl(ItemFile(index));
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
void TShellListView::mousePressEvent(QMouseEvent* event)
{
    SettleSelection();
    dragPending_ = false;
    dragStarted_ = false;
    renameTimer_.stop();
    const bool plain = event->button() == Qt::LeftButton &&
                       !event->modifiers().testAnyFlags(Qt::ControlModifier | Qt::ShiftModifier);
    const QModelIndex pressed = indexAt(event->position().toPoint());
    const int row = plain && pressed.isValid() && Selected(pressed.row()) ? pressed.row() : -1;
    reduceTo_ = SelectionCount() > 1 ? row : -1;
    renameRow_ = SelectionCount() == 1 && Focused(row) ? row : -1;
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
    SettleSelection();
    NotificationBatch batch(*this);
    QTreeView::mouseMoveEvent(event);
}

void TShellListView::mouseReleaseEvent(QMouseEvent* event)
{
    SettleSelection();
    dragPending_ = false;
    const QModelIndex released = indexAt(event->position().toPoint());
    const bool onPressed = event->button() == Qt::LeftButton && !dragStarted_ && released.isValid();
    const int reduceTo = std::exchange(reduceTo_, -1);
    const int renameRow = std::exchange(renameRow_, -1);
    {
        NotificationBatch batch(*this);
        QTreeView::mouseReleaseEvent(event);
        // A click, not a drag, on an item of a multi-selection: that item alone stays selected, and is
        // reported with the others, so that the pane describes it afresh.
        if (onPressed && released.row() == reduceTo) {
            if (SelectionCount() != 1 || !Selected(reduceTo)) {
                selectionModel()->setCurrentIndex(ItemAt(reduceTo), QItemSelectionModel::ClearAndSelect |
                                                                        QItemSelectionModel::Rows);
            }
            Touch(reduceTo);
        }
    }
    if (onPressed && released.row() == renameRow && state() != EditingState) {
        renameRow_ = renameRow;
        renameTimer_.start(QApplication::doubleClickInterval());
    }
}

void TShellListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    SettleSelection();
    renameTimer_.stop();
    renameRow_ = -1;
    NotificationBatch batch(*this);
    QTreeView::mouseDoubleClickEvent(event);
}

void TShellListView::keyPressEvent(QKeyEvent* event)
{
    SettleSelection();
    renameTimer_.stop();
    NotificationBatch batch(*this);
    QTreeView::keyPressEvent(event);
}
void TShellListView::OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (previous.isValid()) {
        Touch(previous.row());
    }
    if (current.isValid()) {
        Touch(current.row());
    }
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}

void TShellListView::Touch(int row)
{
    touched_.push_back(row);
}

void TShellListView::FlushNotifications()
{
    const bool concernsAll = std::exchange(batchConcernsAll_, false);
    std::vector<int> rows = std::exchange(touched_, {});
    if (concernsAll) {
        emit Change(kAllItems);
        return;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const QModelIndex current = currentIndex();
    const int focusedRow = current.isValid() ? current.row() : kAllItems;
    bool focusedTouched = false;
    for (const int row : rows) {
        if (row >= ItemCount()) {
            continue;
        }
        if (row == focusedRow) {
            focusedTouched = true;
        } else {
            emit Change(row);
        }
    }
    if (focusedTouched) {
        emit Change(focusedRow);
    }
}

void TShellListView::OnActivated(const QModelIndex& index)
{
    if (!index.isValid()) {
        return;
    }
    const FileItem& item = model_->Item(index.row());
    const std::filesystem::path file = model_->PathOf(item);
    const QString path = PathText(file);
    if (item.isFolder) {
        SetFolder(path);
        emit FolderOpened(path);
    } else if (!QDesktopServices::openUrl(FileUrl(file))) {
        emit OpenFailed(ShownName(file));
    }
}

} // namespace lmp::gui
