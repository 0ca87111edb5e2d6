#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QTreeView>

class QDrag;
class QFileSystemModel;
class QItemSelection;

namespace lmp::gui {

class FolderFirstOrder;

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
    // The folder shown has been read: every item is in the list.
    void Listed();
    // A folder of the list was opened (double click or Enter); the list shows it already.
    void FolderOpened(const QString& path);
    // A file of the list was opened (double click or Enter) and the desktop could not open it.
    void OpenFailed(const QString& path);
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

} // namespace lmp::gui
