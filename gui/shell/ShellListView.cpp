#include "gui/shell/ShellListView.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QUrl>

#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/shell/FileListModel.h"
#include "sys/CommandLine.h"

namespace lmp::gui {

namespace {

// The file's URL for other programs that take the drop; a name that is no UTF-8 keeps its bytes,
// percent-encoded, where the path's text would have replaced them.
QUrl FileUrl(const std::filesystem::path& path)
{
    const QString text = PathText(path);
    if (HoldsNameBytes(text)) {
        const QByteArray bytes = QByteArray::fromStdString(sys::Utf8FromPath(path));
        return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
    }
    return QUrl::fromLocalFile(text);
}

// The name editor starts with the name before its extension selected, as file managers do, so that
// typing replaces the name and keeps the type. A cell's tooltip data shows only where the cell cuts
// its text off.
class NameEditor : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event == nullptr || event->type() != QEvent::ToolTip) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        const QString tip = index.data(Qt::ToolTipRole).toString();
        if (tip.isEmpty() || !CutOff(option, index)) {
            QToolTip::hideText();
            return true;
        }
        // As plain text, whatever the name holds.
        QToolTip::showText(event->globalPos(),
                           QStringLiteral("<p style='white-space:pre'>") + SafeBoxText(tip).toHtmlEscaped() +
                               QStringLiteral("</p>"),
                           view, option.rect);
        return true;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        QStyledItemDelegate::setEditorData(editor, index);
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line == nullptr) {
            return;
        }
        const auto* files = qobject_cast<const FileListModel*>(index.model());
        const QString name = line->text();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const bool folder = files != nullptr && files->Item(index.row()).isFolder;
        const int length = static_cast<int>(!folder && dot > 0 ? dot : name.size());
        // The view selects the whole text once the editor is up; this runs after it.
        QMetaObject::invokeMethod(
            line, [line, length] { line->setSelection(0, length); }, Qt::QueuedConnection);
    }

private:
    // Whether the cell's text is wider than the room the style gives it, less the margins it keeps.
    bool CutOff(const QStyleOptionViewItem& option, const QModelIndex& index) const
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QStyle* style = item.widget != nullptr ? item.widget->style() : QApplication::style();
        const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
        return item.fontMetrics.horizontalAdvance(item.text) > room.width() - 2 * margin;
    }
};

} // namespace

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
    setModel(model_);
    renameTimer_.setSingleShot(true);
    connect(&renameTimer_, &QTimer::timeout, this, &TShellListView::RenameIfStillAlone);
    connect(this, &QAbstractItemView::activated, this, &TShellListView::OnActivated);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TShellListView::OnSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TShellListView::OnCurrentChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        ++contentsVersion_;
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
    return selectionCount_;
}

bool TShellListView::Selected(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < selectedRows_.size() &&
           selectedRows_[static_cast<std::size_t>(index)] != 0;
}

void TShellListView::MarkRows(const QItemSelection& ranges, bool selected)
{
    const auto mark = static_cast<unsigned char>(selected ? 1 : 0);
    for (const QItemSelectionRange& range : ranges) {
        if (!range.isValid() || range.parent().isValid()) {
            continue;
        }
        const int bottom = std::min(range.bottom(), static_cast<int>(selectedRows_.size()) - 1);
        for (int row = std::max(0, range.top()); row <= bottom; ++row) {
            unsigned char& flag = selectedRows_[static_cast<std::size_t>(row)];
            if (flag != mark) {
                flag = mark;
                selectionCount_ += selected ? 1 : -1;
            }
        }
    }
}

// One pass over the selection's ranges, after the rows have changed under it.
void TShellListView::CountSelection()
{
    selectedRows_.assign(static_cast<std::size_t>(model_->rowCount()), 0);
    selectionCount_ = 0;
    MarkRows(selectionModel()->selection(), true);
}

void TShellListView::SetSelected(int index, bool selected)
{
    const QModelIndex item = ItemAt(index);
    if (item.isValid() && Selected(index) != selected) {
        selectionModel()->select(item,
                                 (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                     QItemSelectionModel::Rows);
    }
}

void TShellListView::SelectItems(const std::vector<int>& indexes)
{
    std::vector<int> rows;
    for (const int index : indexes) {
        if (index >= 0 && index < ItemCount() && !Selected(index)) {
            rows.push_back(index);
        }
    }
    if (rows.empty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    // The new selection is handed over whole, neighbouring rows as one range: the selection model's
    // work grows with the number of ranges it is given and already holds, once per call.
    QItemSelection selection;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        selection.append(range);
    }
    const int lastColumn = model_->columnCount() - 1;
    for (std::size_t first = 0; first < rows.size();) {
        std::size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) {
            ++last;
        }
        selection.append(
            QItemSelectionRange(model_->index(rows[first], 0), model_->index(rows[last], lastColumn)));
        first = last + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TShellListView::ClearSelection()
{
    NotificationBatch batch(*this, true);
    selectionModel()->clearSelection();
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

void TShellListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                 const QList<int>& roles)
{
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.row() == bottomRight.row()) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const QModelIndex firstShown = indexAt(QPoint(0, 0));
    const QModelIndex lastShown = indexAt(QPoint(0, viewport()->height() - 1));
    const int first = std::max(topLeft.row(), firstShown.isValid() ? firstShown.row() : 0);
    const int last = std::min(bottomRight.row(), lastShown.isValid() ? lastShown.row() : ItemCount() - 1);
    if (first <= last) {
        QTreeView::dataChanged(topLeft.siblingAtRow(first), bottomRight.siblingAtRow(last), roles);
    }
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

void TShellListView::selectAll()
{
    NotificationBatch batch(*this, true);
    QTreeView::selectAll();
}

void TShellListView::mousePressEvent(QMouseEvent* event)
{
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
    NotificationBatch batch(*this);
    QTreeView::mouseMoveEvent(event);
}

void TShellListView::mouseReleaseEvent(QMouseEvent* event)
{
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
    renameTimer_.stop();
    renameRow_ = -1;
    NotificationBatch batch(*this);
    QTreeView::mouseDoubleClickEvent(event);
}

void TShellListView::keyPressEvent(QKeyEvent* event)
{
    renameTimer_.stop();
    NotificationBatch batch(*this);
    QTreeView::keyPressEvent(event);
}

void TShellListView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    ++selectionVersion_;
    if (selectedRows_.size() != static_cast<std::size_t>(model_->rowCount())) {
        CountSelection();
    } else {
        MarkRows(deselected, false);
        MarkRows(selected, true);
    }
    if (widening_) {
        return; // the same items, only more of their cells
    }
    for (const QItemSelection* ranges : {&deselected, &selected}) {
        for (const QItemSelectionRange& range : *ranges) {
            if (range.isValid() && !range.parent().isValid()) {
                for (int row = range.top(); row <= range.bottom(); ++row) {
                    Touch(row);
                }
            }
        }
    }
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}

void TShellListView::WidenSelection()
{
    // The selection model keeps each selected row's range as wide as the columns were when it was
    // selected: without this, added columns would show the selected items as not selected.
    const int lastColumn = model_->columnCount() - 1;
    QItemSelection widened;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.isValid() && !range.parent().isValid()) {
            widened.append(QItemSelectionRange(model_->index(range.top(), 0),
                                               model_->index(range.bottom(), lastColumn)));
        }
    }
    if (widened.isEmpty()) {
        return;
    }
    widening_ = true;
    selectionModel()->select(widened, QItemSelectionModel::ClearAndSelect);
    widening_ = false;
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
