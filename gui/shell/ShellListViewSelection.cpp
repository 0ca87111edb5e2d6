#include "gui/shell/ShellListView.h"

#include <algorithm>
#include <utility>

#include <QItemSelectionModel>
#include <QSignalBlocker>

#include "gui/shell/FileListModel.h"
#include "gui/shell/ShellListViewBatch.h"

// The list's selection between its own row flags and the selection model: staged changes handed over in
// one step, a Shift-extension or a replacement of many ranges given in steps that cost as much as the
// ranges held, and the selection set aside by the items' ids while the rows are re-sorted.
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

} // namespace

bool TShellListView::ManyRanges() const
{
    return selectionModel()->selection().size() > kFewRanges;
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
    for (const int row : selection_.SelectedRows()) {
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
// The selection model's change: the rows show what it holds, staged ones included.
void TShellListView::MarkRows(const QItemSelection& ranges, bool selected)
{
    for (const QItemSelectionRange& range : ranges) {
        if (range.isValid() && !range.parent().isValid()) {
            selection_.Mark(range.top(), range.bottom(), selected);
        }
    }
}

// One pass over the selection's ranges, after the rows have changed under it.
void TShellListView::CountSelection()
{
    selection_.Reset(static_cast<std::size_t>(model_->rowCount()));
    MarkRows(selectionModel()->selection(), true);
}

void TShellListView::StageSelected(int index, bool selected)
{
    if (index < 0 || index >= ItemCount() || Selected(index) == selected) {
        return;
    }
    selection_.Stage(index, selected);
    // Rows on screen are found by their height alone; only they are repainted.
    const QModelIndex top = indexAt(QPoint(0, 0));
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    if (top.isValid() && index >= top.row() && (!bottom.isValid() || index <= bottom.row())) {
        const QRect shown = visualRect(ItemAt(index));
        viewport()->update(0, shown.top(), viewport()->width(), shown.height());
    }
    // Handed over once control is back in the event loop, as a step of its own.
    if (selection_.Staged() >=
            std::max(kHandOverLeast, static_cast<std::size_t>(selection_.Count()) / kHandOverShare) &&
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
    if (selection_.Staged() == 0) {
        return;
    }
    auto [added, removed] = selection_.TakeStaged();
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
        const std::vector<int> rows = selection_.SelectedRows();
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
                           extendedContents_ == contentsVersion_ && extendedFrom_.size() == selection_.Rows();
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
        extendedFrom_ = selection_.SelectedFlags();
    }
    std::vector<int> rows;
    for (int row = 0; row < ItemCount(); ++row) {
        if (extendedFrom_[static_cast<std::size_t>(row)] != 0 || (row >= first && row <= last)) {
            rows.push_back(row);
        }
    }
    const std::vector<unsigned char> before = selection_.SelectedFlags();
    rebuilding_ = true;
    selectionModel()->clearSelection();
    selectionModel()->select(RowRanges(*model_, rows), QItemSelectionModel::Select);
    selectionModel()->select(QItemSelection(), QItemSelectionModel::Select);
    rebuilding_ = false;
    for (std::size_t row = 0; row < before.size(); ++row) {
        if ((before[row] != 0) != Selected(static_cast<int>(row))) {
            Touch(static_cast<int>(row));
        }
    }
    extendedVersion_ = selectionVersion_;
    extendedContents_ = contentsVersion_;
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}
void TShellListView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (!committing_) {
        ++selectionVersion_;
        settlePending_ = false;
    }
    if (selection_.Rows() != static_cast<std::size_t>(model_->rowCount())) {
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

} // namespace lmp::gui
