#pragma once

#include <stdexcept>

#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QTreeView>

class QDrag;
class QFileSystemModel;
class QItemSelection;

namespace lmp::gui {

class FolderFirstOrder;
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
    // The node's display name; empty for none.
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
    // A right click selects the node under the cursor before anything else happens.
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
};

// The file list: the folders and files of one folder in a report view (name, size, type, date),
// folders first, then names in lmp::NaturalLess order; several items selectable; names editable in
// place (F2, or a click on a selected item), which renames the file. An item's index is its row in
// the displayed order. The list shows the folder as read when it was opened or last refreshed.
class TShellListView : public QTreeView {
    Q_OBJECT

public:
    // The index of Change notifications that concern all items at once.
    static constexpr int kAllItems = -1;

    explicit TShellListView(QWidget* parent = nullptr);

    // The folder shown; empty while the desktop is.
    QString Folder() const { return folder_; }
    // Shows the folder at path as it is now (its contents arrive asynchronously); the desktop's
    // contents, the file-system roots, for an empty path. Nothing is selected afterwards. Nothing
    // happens when path is shown already.
    void SetFolder(const QString& path);
    // Reads the folder shown again; nothing is selected afterwards.
    void Refresh();

    int ItemCount() const;
    int SelectionCount() const;
    // False for an index outside the list.
    bool Selected(int index) const;
    // Selects or deselects one item; nothing happens for an index outside the list.
    void SetSelected(int index, bool selected);
    // Deselects every item, reported as one notification for all items.
    void ClearSelection();
    // Paints the item's row now, if it is in view.
    void RepaintItem(int index);
    // The name shown for the item; empty for an index outside the list.
    QString Caption(int index) const;
    // Changes whenever the list reads a folder, so that a caller holding item indexes can tell that
    // they no longer stand for the same items.
    unsigned ContentsVersion() const { return contentsVersion_; }
    // Changes whenever the selection does, whoever changes it.
    unsigned SelectionVersion() const { return selectionVersion_; }
    bool Focused(int index) const;
    // The full path of the item; throws std::out_of_range for an index outside the list.
    QString ItemPath(int index) const;
    // Once the mouse, pressed now, moves past the system's drag threshold while still pressed, drags
    // the selected items' files to be copied. The release of the press ends the wait.
    void BeginDrag();
    // A drag waits for the mouse to move past the threshold.
    bool DragPending() const { return dragPending_; }

signals:
    // An item's selected or focused state changed (kAllItems: the states of all items at once).
    // When one user action changes several items, each is reported once, after the action, and the
    // focused item last.
    void Change(int index);
    // A folder of the list was opened (double click or Enter); the list shows it already.
    void FolderOpened(const QString& path);
    // A mouse button was pressed over the list, after the list took the press.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& position);

public slots:
    void selectAll() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Qt calls this once the mouse has moved past the threshold; it drags only when BeginDrag asked.
    void startDrag(Qt::DropActions supportedActions) override;
    // Runs the drag until it is dropped or given up.
    virtual void RunDrag(QDrag* drag);

private:
    class NotificationBatch;

    void CreateModel();
    void ShowFolderRoot();
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void OnActivated(const QModelIndex& index);
    void Touch(const QModelIndex& index);
    void FlushNotifications();
    QModelIndex ItemAt(int index) const;

    QFileSystemModel* files_ = nullptr;
    FolderFirstOrder* order_ = nullptr;
    QString folder_;
    unsigned contentsVersion_ = 0;
    unsigned selectionVersion_ = 0;
    int batchDepth_ = 0;
    bool batchConcernsAll_ = false;
    bool dragPending_ = false;
    QList<QPersistentModelIndex> touched_;
};

// Links the views both ways: the list shows the folder selected in the tree, and a folder opened in
// the list becomes the tree's selection. A folder that has gone in the meantime goes to the error box.
void LinkShellViews(TShellTreeView& tree, TShellListView& list);

} // namespace lmp::gui
