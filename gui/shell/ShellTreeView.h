#pragma once

#include <optional>
#include <stdexcept>

#include <QPersistentModelIndex>
#include <QString>
#include <QTreeView>

namespace lmp::gui {

class ShellTreeModel;

// A path that the folder tree cannot resolve to a folder: "Error setting path: " and the path in
// double quotes.
class PathError : public std::runtime_error {
public:
    explicit PathError(const QString& path);
};

// A node of the folder tree, or none. It turns into none when its node goes.
class TTreeNode {
public:
    TTreeNode() = default;

    explicit operator bool() const { return index_.isValid(); }
    // The node's name as its folder's path spells it (see PathText), which is the name it shows unless
    // that is not UTF-8; empty for none.
    QString Caption() const;
    // The node above; none for the desktop and for none.
    TTreeNode Parent() const;

private:
    friend class TShellTreeView;
    explicit TTreeNode(const QModelIndex& index) : index_(index) {}

    QPersistentModelIndex index_;
};

// The folder tree. Folders only, under one root node that stands for the desktop (caption "Desktop",
// no path), which holds the file-system root ("/"; the drives on Windows) and the home folder. A
// folder's subfolders are read when it is first opened and not re-read afterwards; hidden ones appear
// only when a path leads through them.
class TShellTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit TShellTreeView(QWidget* parent = nullptr);
    ~TShellTreeView() override;

    // The selected folder's full path; empty while the desktop node is selected.
    QString Path() const;
    // Selects the folder at path, opening the nodes above it; an empty path selects the desktop.
    // Throws PathError when path names no existing folder.
    void SetPath(const QString& path);
    // Reads the selected folder's folders again; when the selected folder has gone, selects the
    // nearest folder above it that still exists (the desktop when none does) and reads that one.
    void Refresh();
    // The path of the folder node at position of the viewport (empty for the desktop); none where there
    // is no node.
    std::optional<QString> PathAt(const QPoint& position) const;
    // Reads the folders of the node at position again, as Refresh does for the selected one.
    void RefreshAt(const QPoint& position);
    // The node marked under the cursor while something is dragged over the tree; none outside the
    // nodes and while no drag is over it.
    TTreeNode DropTarget() const { return TTreeNode(dropTarget_); }

signals:
    // The selection moved to another node; path is the new Path().
    void Change(const QString& path);
    // Something from source (null from outside the program) is dragged over position; a drop is
    // offered, as a copy, exactly when a receiver sets accept.
    void DragOver(QObject* source, const QPoint& position, bool& accept);
    // What source dragged was dropped at position, with DropTarget() the node there.
    void DragDrop(QObject* source, const QPoint& position);
    // A drag over the tree has ended: dropped on it (target the tree) or taken away (target null).
    void EndDrag(QObject* target, const QPoint& position);

protected:
    // A right click changes neither the selection nor the current node.
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void SetDropTarget(const QModelIndex& index);

    ShellTreeModel* model_;
    QPersistentModelIndex dropTarget_;
    bool keepInView_ = false; // the folder SetPath selected is kept in view while folders come
};

} // namespace lmp::gui
