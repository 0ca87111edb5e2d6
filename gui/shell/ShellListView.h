#pragma once

#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include <QString>
#include <QTimer>
#include <QTreeView>

#include "gui/shell/ListSelection.h"

class QDrag;
class QItemSelection;

namespace lmp::gui {

class FileListModel;

// The file list: the folders and files of one folder in a report view (name, size, type, date),
// folders first, then names in lmp::NaturalLess order; several items selectable. A plain click on an
// item of a multi-selection leaves that item alone selected (on the release, so that a press can
// still drag them all). A name is edited in place, which renames the file, only from F2 or a second,
// slow click on the only selected item; the editor starts with the name before its extension
// selected and Escape gives up. A click on a column's header sorts by it, a second click reverses;
// the Name column brings back the default order. An item's index is its row in the displayed order. Asking
// whether an item is selected and how many are, and painting the rows, costs the same however scattered
// the selection is.
class TShellListView : public QTreeView {
    Q_OBJECT

public:
    // The index of Change notifications that concern all items at once.
    static constexpr int kAllItems = -1;

    explicit TShellListView(QWidget* parent = nullptr);

    // The folder shown; empty while the desktop is.
    QString Folder() const { return folder_; }
    // Shows the folder at path, read on a thread of its own: the items come in batches, each in its
    // sorted place, and Listed follows the last, always once control is back in the event loop. The
    // desktop's contents, the file-system roots, for an empty path. Nothing is selected at first; what
    // the user selects meanwhile stays selected. Nothing happens when path is shown already.
    void SetFolder(const QString& path);
    // Reads the folder shown again, as SetFolder does; a reading still under way is given up.
    void Refresh();
    // Empties the list for the files a search of the folder shown finds (FileListModel::ShowFound); the
    // Folder column is shown with them when folders asks for it. Refresh brings the folder back.
    void ShowFound(bool folders);
    // From SetFolder or Refresh until Listed: the list may not hold every item of its folder yet.
    bool Listing() const;

    int ItemCount() const;
    int SelectionCount() const;
    // False for an index outside the list.
    bool Selected(int index) const;
    // Selects or deselects one item; nothing happens for an index outside the list.
    void SetSelected(int index, bool selected);
    // The same for a command that changes many items one by one: the list shows the change at once
    // (Selected, SelectionCount, the row painted) and hands it to its selection model later, with the
    // changes staged meanwhile, in one change of the selection. A handover costs as much as the
    // selection has ranges; it comes before anything else changes the selection or the rows, on
    // CommitSelection, and by itself once the staged changes are many against the selection. The change
    // notifications follow the handover.
    void StageSelected(int index, bool selected);
    // Hands the staged changes to the selection model now. Before the user's next input the selection is
    // settled as one made item by item would be, so that a Shift-click extends it.
    void CommitSelection();
    // Deselects every item, reported as one notification for all items.
    void ClearSelection();
    // The name shown for the item; empty for an index outside the list.
    QString Caption(int index) const;
    // Changes whenever the list reads a folder, so that a caller holding item indexes can tell that
    // they no longer stand for the same items.
    unsigned ContentsVersion() const { return contentsVersion_; }
    // Changes whenever the selection changes other than by StageSelected.
    unsigned SelectionVersion() const { return selectionVersion_; }
    bool Focused(int index) const;
    // The full path of the item as text (a name that is no valid UTF-8 shows U+FFFD there); throws
    // std::out_of_range for an index outside the list.
    QString ItemPath(int index) const;
    // The item's real path, as the system names it; throws std::out_of_range outside the list.
    std::filesystem::path ItemFile(int index) const;
    // True for folders (and the desktop's file-system roots); false outside the list.
    bool IsFolder(int index) const;
    // Selects the items at the indexes, in one change of the selection; indexes outside are ignored.
    void SelectItems(const std::vector<int>& indexes);
    // Starts editing the item's name in place, as F2 does.
    void EditName(int index);
    FileListModel& Files() const { return *model_; }
    // Sorts by the column as a click on its header does.
    void SortBy(int column, Qt::SortOrder order);
    // While held returns true (a command is running), rows keep their place: a re-sort waits. So do
    // they while a mouse button is down or a name is being edited.
    void SetOrderHeld(std::function<bool()> held) { orderHeld_ = std::move(held); }
    // Once the mouse, pressed now, moves past the system's drag threshold while still pressed, drags
    // the selected items' files to be copied. The release of the press ends the wait.
    void BeginDrag();
    // A drag waits for the mouse to move past the threshold.
    bool DragPending() const { return dragPending_; }
    // A second click on the only selected item waits to see that no double click follows, then
    // edits its name.
    bool RenamePending() const { return renameTimer_.isActive(); }

signals:
    // An item's selected or focused state changed (kAllItems: the states of all items at once).
    // When one user action changes several items, each is reported once, after the action, and the
    // focused item last.
    void Change(int index);
    // The folder shown has been read: every item is in the list.
    void Listed();
    // A folder of the list was opened (double click or Enter); the list shows it already.
    void FolderOpened(const QString& path);
    // A file of the list was opened (double click or Enter) and the desktop could not open it; path is
    // the file's path as it shows (ShownName).
    void OpenFailed(const QString& path);
    // A mouse button was pressed over the list, after the list took the press.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& position);
    // Renaming an item failed; message says why, names in it as plain text.
    void RenameFailed(const QString& message);

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
    // Edits always edit the name, whichever column was clicked.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // Takes only the rows in view of a change: the rows are of one height, and a change of every row of a
    // large folder (sizes and times arriving, a column filled) would otherwise cost a pass over all rows.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    // A Shift-extended selection or one that replaces many ranges goes to the selection model in steps
    // that cost it as much as the ranges it holds, not their product.
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    // Paints the row selected as the list's own flags say: the selection model would look through all its
    // ranges for every cell.
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    bool viewportEvent(QEvent* event) override;

private:
    class NotificationBatch;

    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void OnActivated(const QModelIndex& index);
    void OnRowsMoved();
    void WidenSelection();
    void MarkRows(const QItemSelection& ranges, bool selected);
    void CountSelection();
    void SettleSelection();
    void KeepSelectionAcrossSort();
    void RestoreSelectionAfterSort();
    bool ManyRanges() const;
    void Touch(int row);
    void FlushNotifications();
    void RenameIfStillAlone();
    QModelIndex ItemAt(int index) const;

    FileListModel* model_ = nullptr;
    bool widening_ = false;   // the selection grows to added columns; no item changes
    bool rebuilding_ = false; // the selection is given anew; the items that change are reported after
    std::function<bool()> orderHeld_;
    QString folder_;
    unsigned contentsVersion_ = 0;
    unsigned selectionVersion_ = 0;
    int batchDepth_ = 0;
    bool batchConcernsAll_ = false;
    bool dragPending_ = false;
    bool dragStarted_ = false;
    ListSelection selection_; // kept in step with the selection model
    bool committing_ = false;
    bool settlePending_ = false; // a handover left the selection model's last change open
    QTimer commitTimer_;         // the next handover of staged rows
    int hoverRow_ = -1;
    // A Shift-extension keeps the rows selected before the first of a run of them.
    std::vector<unsigned char> extendedFrom_;
    unsigned extendedVersion_ = 0; // the selection's version after the last extension
    unsigned extendedContents_ = 0;
    // Whether each item, by its id, was selected while the rows are re-sorted without the selection model.
    std::vector<bool> sortedSelection_;
    bool selectionSetAside_ = false;
    std::vector<int> touched_;
    int reduceTo_ = -1;  // the row that a plain press found in a multi-selection
    int renameRow_ = -1; // the row that a plain press found selected alone and focused
    QTimer renameTimer_; // a second click renames only if no double click follows
};

} // namespace lmp::gui
