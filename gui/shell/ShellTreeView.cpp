#include "gui/shell/ShellTreeView.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "gui/desktop/NativePath.h"
#include "gui/shell/ShellTreeModel.h"

namespace lmp::gui {

PathError::PathError(const QString& path)
    : std::runtime_error(QStringLiteral("Error setting path: \"%1\"").arg(path).toStdString())
{
}

QString TTreeNode::Caption() const
{
    return index_.isValid() ? index_.data(ShellTreeModel::PathNameRole).toString() : QString();
}

TTreeNode TTreeNode::Parent() const
{
    return index_.isValid() ? TTreeNode(index_.parent()) : TTreeNode();
}

TShellTreeView::TShellTreeView(QWidget* parent) : QTreeView(parent), model_(new ShellTreeModel(this))
{
    setModel(model_);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(19);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);

    const QModelIndex desktop = model_->DesktopIndex();
    expand(desktop);
    selectionModel()->setCurrentIndex(desktop, QItemSelectionModel::ClearAndSelect);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { emit Change(Path()); });
    // The folders above the one a path selected come as they are read, and push it down: it stays in view
    // until the user scrolls.
    const auto keepInView = [this] {
        if (keepInView_) {
            scrollTo(currentIndex());
        }
    };
    connect(model_, &QAbstractItemModel::rowsInserted, this, keepInView);
    connect(model_, &QAbstractItemModel::layoutChanged, this, keepInView);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { keepInView_ = false; });
}

TShellTreeView::~TShellTreeView() = default;

QString TShellTreeView::Path() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? model_->NodeOf(current)->path : QString();
}

void TShellTreeView::SetPath(const QString& path)
{
    QModelIndex target = model_->DesktopIndex();
    if (!path.isEmpty()) {
        // The path's text may name a folder that Qt's file classes cannot reach (see PathText).
        std::error_code error;
        const std::filesystem::path native = NativePath(path);
        const auto* node =
            std::filesystem::is_directory(native, error)
                ? model_->FindFolder(QDir::cleanPath(PathText(std::filesystem::absolute(native, error))))
                : nullptr;
        if (node == nullptr) {
            throw PathError(path);
        }
        target = model_->IndexOf(node);
    }
    for (QModelIndex above = target.parent(); above.isValid(); above = above.parent()) {
        expand(above);
    }
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
    keepInView_ = true;
}

void TShellTreeView::Refresh()
{
    QModelIndex current = currentIndex();
    std::error_code error;
    while (current.isValid() && !model_->NodeOf(current)->path.isEmpty() &&
           !std::filesystem::is_directory(NativePath(model_->NodeOf(current)->path), error)) {
        current = current.parent();
    }
    if (!current.isValid()) {
        current = model_->DesktopIndex();
    }
    if (current != currentIndex()) {
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
        scrollTo(current);
    }
    model_->Reread(model_->NodeOf(current));
    viewport()->update();
}

std::optional<QString> TShellTreeView::PathAt(const QPoint& position) const
{
    const QModelIndex under = indexAt(position);
    if (!under.isValid()) {
        return std::nullopt;
    }
    return model_->NodeOf(under)->path;
}

void TShellTreeView::RefreshAt(const QPoint& position)
{
    const QModelIndex under = indexAt(position);
    if (!under.isValid() || under == currentIndex()) {
        Refresh();
        return;
    }
    model_->Reread(model_->NodeOf(under));
    viewport()->update();
}

void TShellTreeView::mousePressEvent(QMouseEvent* event)
{
    // A right click leaves the folder shown as it is: it only asks for the node's menu.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

// The tree's selection stays where it is during a drag: moving it would show another folder in the
// list that the drag comes from.
void TShellTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void TShellTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    const QPoint position = event->position().toPoint();
    SetDropTarget(indexAt(position));
    bool accept = false;
    emit DragOver(event->source(), position, accept);
    if (accept) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TShellTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDropTarget({});
    event->accept();
    emit EndDrag(nullptr, {});
}

void TShellTreeView::dropEvent(QDropEvent* event)
{
    const QPoint position = event->position().toPoint();
    SetDropTarget(indexAt(position));
    emit DragDrop(event->source(), position);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    SetDropTarget({});
    emit EndDrag(this, position);
}

void TShellTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QTreeView::drawRow(painter, option, index);
    if (dropTarget_.isValid() && dropTarget_ == index) {
        painter->save();
        painter->setPen(palette().color(QPalette::Highlight));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

void TShellTreeView::SetDropTarget(const QModelIndex& index)
{
    if (dropTarget_ != index) {
        dropTarget_ = index;
        viewport()->update();
    }
}

} // namespace lmp::gui
