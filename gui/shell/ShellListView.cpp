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
#include <QPainter>
#include <QSignalBlocker>
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

// Staged selections are handed over once they are this share of the selection, or this many: a handover
// costs as much as the selection has ranges, so that all of them together cost a few times the last.
constexpr std::size_t kHandOverShare = 4;
constexpr std::size_t kHandOverLeast = 1024;
// Up to this many ranges, the selection model's own steps cost little whatever they compare.
constexpr qsizetype kFewRanges = 256;

// The rows as ranges across all columns, neighbouring rows in one range; rows are in ascending order.
QItemSelection RowRanges(const QAbstractItemModel& model, const std::vector<int>& rows)
{
    QItemSelection ranges;
    const int lastColumn = model.columnCount() - 1;
    for (std::size_t first = 0; first < rows.size();) {
        std::size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) {
            ++last;
        }
        ranges.append(QItemSelectionRange(model.index(rows[first], 0), model.index(rows[last], lastColumn)));
        first = last + 1;
    }
    return ranges;
}

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
    // Connected before the selection model is: the staged selections reach it before the rows change
    // under it. A reset drops them with the selection.
    for (const auto aboutToChange :
         {&QAbstractItemModel::rowsAboutToBeInserted, &QAbstractItemModel::rowsAboutToBeRemoved,
          &QAbstractItemModel::columnsAboutToBeInserted, &QAbstractItemModel::columnsAboutToBeRemoved}) {
        connect(model_, aboutToChange, this, &TShellListView::CommitSelection);
    }
    connect(model_, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &TShellListView::KeepSelectionAcrossSort);
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { staged_.clear(); });
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
    hoverRow_ = -1;
    RestoreSelectionAfterSort();
    CountSelection();
    // The rows held for the pending notifications may now stand for other items.
    touched_.clear();
    batchConcernsAll_ = batchDepth_ > 0;
}

bool TShellListView::ManyRanges() const
{
    return selectionModel()->selection().size() > kFewRanges;
}

std::vector<int> TShellListView::SelectedRows() const
{
    std::vector<int> rows;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if ((rows_[row] & kSelected) != 0) {
            rows.push_back(static_cast<int>(row));
        }
    }
    return rows;
}

// The selection model keeps a selection across a re-sort through one persistent index per selected row,
// at a cost of microseconds each: a selection of many ranges is set aside by the items' ids instead and
// given back once the rows are in their new order, neighbouring rows as one range.
void TShellListView::KeepSelectionAcrossSort()
{
    CommitSelection();
    if (!ManyRanges()) {
        return;
    }
    sortedSelection_.assign(model_->IdLimit(), false);
    for (const int row : SelectedRows()) {
        sortedSelection_[model_->Item(row).id] = true;
    }
    selectionSetAside_ = true;
    // The items stay selected: nobody is told.
    const QSignalBlocker quiet(selectionModel());
    selectionModel()->clearSelection();
}

void TShellListView::RestoreSelectionAfterSort()
{
    if (!std::exchange(selectionSetAside_, false)) {
        return;
    }
    std::vector<int> rows;
    for (int row = 0; row < ItemCount(); ++row) {
        const std::uint32_t id = model_->Item(row).id;
        if (id < sortedSelection_.size() && sortedSelection_[id]) {
            rows.push_back(row);
        }
    }
    sortedSelection_ = {};
    const QSignalBlocker quiet(selectionModel());
    selectionModel()->select(RowRanges(*model_, rows), QItemSelectionModel::Select);
    selectionModel()->select(QItemSelection(), QItemSelectionModel::Select);
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
    return index >= 0 && static_cast<std::size_t>(index) < rows_.size() &&
           (rows_[static_cast<std::size_t>(index)] & kSelected) != 0;
}

// The selection model's change: the rows show what it holds, staged ones included.
void TShellListView::MarkRows(const QItemSelection& ranges, bool selected)
{
    for (const QItemSelectionRange& range : ranges) {
        if (!range.isValid() || range.parent().isValid()) {
            continue;
        }
        const int bottom = std::min(range.bottom(), static_cast<int>(rows_.size()) - 1);
        for (int row = std::max(0, range.top()); row <= bottom; ++row) {
            unsigned char& flags = rows_[static_cast<std::size_t>(row)];
            if (((flags & kSelected) != 0) != selected) {
                selectionCount_ += selected ? 1 : -1;
            }
            flags = static_cast<unsigned char>(selected ? flags | kSelected | kModelHeld
                                                        : flags & ~(kSelected | kModelHeld));
        }
    }
}

// One pass over the selection's ranges, after the rows have changed under it.
void TShellListView::CountSelection()
{
    rows_.assign(static_cast<std::size_t>(model_->rowCount()), 0);
    staged_.clear();
    selectionCount_ = 0;
    MarkRows(selectionModel()->selection(), true);
}

void TShellListView::StageSelected(int index, bool selected)
{
    if (index < 0 || index >= ItemCount() || Selected(index) == selected) {
        return;
    }
    unsigned char& flags = rows_[static_cast<std::size_t>(index)];
    if ((flags & kStaged) == 0) {
        flags |= kStaged;
        staged_.push_back(index);
    }
    flags = static_cast<unsigned char>(selected ? flags | kSelected : flags & ~kSelected);
    selectionCount_ += selected ? 1 : -1;
    // Rows on screen are found by their height alone; only they are repainted.
    const QModelIndex top = indexAt(QPoint(0, 0));
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    if (top.isValid() && index >= top.row() && (!bottom.isValid() || index <= bottom.row())) {
        const QRect shown = visualRect(ItemAt(index));
        viewport()->update(0, shown.top(), viewport()->width(), shown.height());
    }
    // Handed over once control is back in the event loop, as a step of its own.
    if (staged_.size() >=
            std::max(kHandOverLeast, static_cast<std::size_t>(selectionCount_) / kHandOverShare) &&
        !commitTimer_.isActive()) {
        commitTimer_.start(0);
    }
}

void TShellListView::SettleSelection()
{
    CommitSelection();
    if (std::exchange(settlePending_, false)) {
        // Kept apart from what a Shift-click selects next, as a selection made item by item would be.
        committing_ = true;
        selectionModel()->select(QItemSelection(), QItemSelectionModel::Select);
        committing_ = false;
    }
}

void TShellListView::CommitSelection()
{
    commitTimer_.stop();
    if (staged_.empty()) {
        return;
    }
    std::vector<int> added;
    std::vector<int> removed;
    for (const int row : std::exchange(staged_, {})) {
        unsigned char& flags = rows_[static_cast<std::size_t>(row)];
        flags &= static_cast<unsigned char>(~kStaged);
        const bool shown = (flags & kSelected) != 0;
        if (shown != ((flags & kModelHeld) != 0)) {
            (shown ? added : removed).push_back(row);
        }
    }
    if (added.empty() && removed.empty()) {
        return;
    }
    committing_ = true;
    if (removed.empty()) {
        // The selection is handed over whole with the new ranges after the old ones: the selection model
        // then finds the old ones unchanged in one pass, where adding ranges to it would compare each
        // with every one it holds.
        std::sort(added.begin(), added.end());
        QItemSelection selection = selectionModel()->selection();
        selection.append(RowRanges(*model_, added));
        selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    } else {
        // Taking ranges out costs the selection model as much as the product of the ranges taken and held:
        // it is emptied and given the rows anew instead, each step against an empty selection.
        const std::vector<int> rows = SelectedRows();
        selectionModel()->clearSelection();
        selectionModel()->select(RowRanges(*model_, rows), QItemSelectionModel::Select);
    }
    settlePending_ = true;
    committing_ = false;
}

void TShellListView::SetSelected(int index, bool selected)
{
    CommitSelection();
    const QModelIndex item = ItemAt(index);
    if (item.isValid() && Selected(index) != selected) {
        selectionModel()->select(item,
                                 (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                     QItemSelectionModel::Rows);
    }
}

void TShellListView::SelectItems(const std::vector<int>& indexes)
{
    CommitSelection();
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
    QItemSelection selection = selectionModel()->selection();
    selection.append(RowRanges(*model_, rows));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    settlePending_ = true;
}

void TShellListView::ClearSelection()
{
    NotificationBatch batch(*this, true);
    CommitSelection();
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
    CommitSelection();
    // Replacing a selection of many ranges by another costs the selection model as much as the product
    // of their counts; emptying it first costs as much as it holds.
    selectionModel()->clearSelection();
    QTreeView::selectAll();
}

void TShellListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    SettleSelection();
    const bool replaces = command.testFlag(QItemSelectionModel::Clear);
    const bool extends = command.testFlag(QItemSelectionModel::Current) &&
                         command.testFlag(QItemSelectionModel::Select) &&
                         !command.testAnyFlags(QItemSelectionModel::Deselect | QItemSelectionModel::Toggle);
    // A run of Shift-extensions from one anchor keeps what was selected before the first, and each
    // replaces the range of the one before, as the selection model's current selection would.
    const bool extending = extends && extendedVersion_ == selectionVersion_ &&
                           extendedContents_ == contentsVersion_ && extendedFrom_.size() == rows_.size();
    if ((!replaces && !extends) || (!extending && !ManyRanges())) {
        QTreeView::setSelection(rect, command);
        return;
    }
    if (replaces) {
        selectionModel()->clearSelection();
        QTreeView::setSelection(rect, command);
        return;
    }
    // The rows that the rectangle spans, as the tree view finds them.
    const QRect area = rect.normalized();
    const QModelIndex top = indexAt(isRightToLeft() ? area.topRight() : area.topLeft());
    const QModelIndex bottom = indexAt(isRightToLeft() ? area.bottomLeft() : area.bottomRight());
    if (rect.isNull() || (!top.isValid() && !bottom.isValid())) {
        return;
    }
    const int first = top.isValid() ? top.row() : 0;
    const int last = bottom.isValid() ? bottom.row() : ItemCount() - 1;
    if (!extending) {
        extendedFrom_.resize(rows_.size());
        std::transform(rows_.begin(), rows_.end(), extendedFrom_.begin(),
                       [](unsigned char flags) { return static_cast<unsigned char>(flags & kSelected); });
    }
    std::vector<int> rows;
    for (int row = 0; row < ItemCount(); ++row) {
        if (extendedFrom_[static_cast<std::size_t>(row)] != 0 || (row >= first && row <= last)) {
            rows.push_back(row);
        }
    }
    const std::vector<unsigned char> before = rows_;
    rebuilding_ = true;
    selectionModel()->clearSelection();
    selectionModel()->select(RowRanges(*model_, rows), QItemSelectionModel::Select);
    selectionModel()->select(QItemSelection(), QItemSelectionModel::Select);
    rebuilding_ = false;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (((before[row] ^ rows_[row]) & kSelected) != 0) {
            Touch(static_cast<int>(row));
        }
    }
    extendedVersion_ = selectionVersion_;
    extendedContents_ = contentsVersion_;
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}

void TShellListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const int row = index.row();
    const QModelIndex current = currentIndex();
    const bool currentRow = current.isValid() && current.row() == row;
    QStyleOptionViewItem cell = option;
    // Whole rows are selected: the style draws the selection across the cells.
    cell.showDecorationSelected = true;
    cell.state.setFlag(QStyle::State_Selected, Selected(row));
    cell.state.setFlag(QStyle::State_MouseOver, row == hoverRow_);
    // The row being renamed looks active while its editor has the focus.
    if (currentRow && state() == EditingState) {
        cell.state |= QStyle::State_Active;
    }
    const QHeaderView& head = *header();
    std::vector<int> columns; // the columns shown, in their order on screen
    for (int visual = 0; visual < head.count(); ++visual) {
        if (const int column = head.logicalIndex(visual); !head.isSectionHidden(column)) {
            columns.push_back(column);
        }
    }
    const int width = viewport()->width();
    for (std::size_t at = 0; at < columns.size(); ++at) {
        const int column = columns[at];
        cell.rect = QRect(columnViewportPosition(column), option.rect.y(), head.sectionSize(column),
                          option.rect.height());
        if (cell.rect.right() < 0 || cell.rect.left() >= width) {
            continue;
        }
        const QModelIndex item = model_->index(row, column);
        QStyleOptionViewItem shown = cell;
        if ((model_->flags(item) & Qt::ItemIsEnabled) == 0) {
            shown.state &= ~QStyle::State_Enabled;
        }
        shown.palette.setCurrentColorGroup((shown.state & QStyle::State_Enabled) == 0  ? QPalette::Disabled
                                           : (shown.state & QStyle::State_Active) != 0 ? QPalette::Active
                                                                                       : QPalette::Inactive);
        shown.viewItemPosition = columns.size() == 1        ? QStyleOptionViewItem::OnlyOne
                                 : at == 0                  ? QStyleOptionViewItem::Beginning
                                 : at + 1 == columns.size() ? QStyleOptionViewItem::End
                                                            : QStyleOptionViewItem::Middle;
        // The row's own background, then the cell, which draws the selection.
        QStyleOptionViewItem background = shown;
        background.state &= ~QStyle::State_Selected;
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &background, painter, this);
        itemDelegateForIndex(item)->paint(painter, shown, item);
    }
    if (currentRow && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.state |= QStyle::State_KeyboardFocusChange;
        focus.backgroundColor = option.palette.color(
            (option.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled,
            Selected(row) ? QPalette::Highlight : QPalette::Window);
        const int left = option.showDecorationSelected ? 0 : head.sectionPosition(0);
        focus.rect = style()->visualRect(
            layoutDirection(), viewport()->rect(),
            QRect(left - head.offset(), option.rect.y(), head.length() - left, option.rect.height()));
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
}

bool TShellListView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        hoverRow_ = indexAt(static_cast<QHoverEvent*>(event)->position().toPoint()).row();
        break;
    case QEvent::HoverLeave:
        hoverRow_ = -1;
        break;
    default:
        break;
    }
    return QTreeView::viewportEvent(event);
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

void TShellListView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (!committing_) {
        ++selectionVersion_;
        settlePending_ = false;
    }
    if (rows_.size() != static_cast<std::size_t>(model_->rowCount())) {
        CountSelection();
    } else {
        MarkRows(deselected, false);
        MarkRows(selected, true);
    }
    if (widening_ || rebuilding_) {
        return; // the same items, only more of their cells; or reported once the selection is whole
    }
    // Each changed item is reported, unless one notification is to stand for all of them.
    if (batchDepth_ == 0 || !batchConcernsAll_) {
        for (const QItemSelection* ranges : {&deselected, &selected}) {
            for (const QItemSelectionRange& range : *ranges) {
                if (range.isValid() && !range.parent().isValid()) {
                    for (int row = range.top(); row <= range.bottom(); ++row) {
                        Touch(row);
                    }
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
