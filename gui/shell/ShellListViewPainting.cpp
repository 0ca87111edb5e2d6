#include "gui/shell/ShellListView.h"

#include <algorithm>
#include <vector>

#include <QHeaderView>
#include <QHoverEvent>
#include <QPainter>
#include <QStyle>

#include "gui/shell/FileListModel.h"

// Painting the rows: selected as the list's own flags say, and only the rows in view of a change.
namespace lmp::gui {

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
} // namespace lmp::gui
