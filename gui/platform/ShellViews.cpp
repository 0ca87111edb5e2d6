#include "gui/platform/ShellViews.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QAbstractItemModel>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <QStorageInfo>
#include <QUrl>

#include "core/NaturalOrder.h"
#include "gui/platform/ErrorBox.h"

namespace lmp::gui {

namespace {

bool NameLess(const QString& left, const QString& right)
{
    const QByteArray a = left.toUtf8();
    const QByteArray b = right.toUtf8();
    return NaturalLess(std::string_view(a.constData(), static_cast<std::size_t>(a.size())),
                       std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
}

bool SameName(const QString& left, const QString& right)
{
#ifdef Q_OS_WIN
    return left.compare(right, Qt::CaseInsensitive) == 0;
#else
    return left == right;
#endif
}

bool StartsWithFolder(const QString& path, const QString& folder)
{
#ifdef Q_OS_WIN
    return path.startsWith(folder, Qt::CaseInsensitive);
#else
    return path.startsWith(folder);
#endif
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

#ifdef Q_OS_WIN
// As the desktop names drives, "Local Disk (C:)": drops find the drive of a folder by its caption.
QString DriveCaption(const QString& path)
{
    QString label = QStorageInfo(path).name();
    if (label.isEmpty()) {
        label = QStringLiteral("Local Disk");
    }
    return label + QStringLiteral(" (") + path.left(2) + QLatin1Char(')');
}
#endif

} // namespace

PathError::PathError(const QString& path)
    : std::runtime_error(QStringLiteral("Error setting path: \"%1\"").arg(path).toStdString())
{
}

// The tree's own model of the shell namespace. The desktop node is no folder and the home folder
// appears both under it and under the file-system root, which one-to-one proxies of a file-system
// model cannot express.
class ShellTreeModel : public QAbstractItemModel {
public:
    enum class Kind { Desktop, Drive, Home, Folder };

    struct Node {
        Kind kind = Kind::Folder;
        QString caption;
        QString path; // empty for the desktop
        Node* parent = nullptr;
        int row = 0;
        bool listed = false;
        std::vector<std::unique_ptr<Node>> children;
    };

    explicit ShellTreeModel(QObject* parent);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QModelIndex DesktopIndex() const { return IndexOf(Desktop()); }
    QModelIndex IndexOf(const Node* node) const;
    const Node* NodeOf(const QModelIndex& index) const;
    // The node of the folder at a clean absolute path, listing the folders on the way; null when
    // the path leads through something that is no folder.
    const Node* FindFolder(const QString& path);

private:
    Node* Desktop() const { return root_.children.front().get(); }
    static Node* Mutable(const Node* node) { return const_cast<Node*>(node); }
    void List(Node& node);
    Node* ChildNamed(Node& node, const QString& name);
    Node& Insert(Node& parent, std::size_t position, Kind kind, const QString& caption, const QString& path);

    Node root_; // the invisible root above the desktop
    QIcon desktopIcon_;
    QIcon driveIcon_;
    QIcon folderIcon_;
};

ShellTreeModel::ShellTreeModel(QObject* parent) : QAbstractItemModel(parent)
{
    const QFileIconProvider icons;
    desktopIcon_ = icons.icon(QAbstractFileIconProvider::Desktop);
    driveIcon_ = icons.icon(QAbstractFileIconProvider::Drive);
    folderIcon_ = icons.icon(QAbstractFileIconProvider::Folder);

    root_.listed = true;
    Node& desktop = Insert(root_, 0, Kind::Desktop, QStringLiteral("Desktop"), QString());
    desktop.listed = true;
    for (const QFileInfo& drive : QDir::drives()) {
        const QString path = drive.absoluteFilePath();
#ifdef Q_OS_WIN
        const QString caption = DriveCaption(path);
#else
        QString caption = path;
        if (caption.size() > 1 && caption.endsWith(QLatin1Char('/'))) {
            caption.chop(1);
        }
#endif
        Insert(desktop, desktop.children.size(), Kind::Drive, caption, path);
    }
    const QDir home = QDir::home();
    Insert(desktop, desktop.children.size(), Kind::Home, home.dirName(),
           QDir::cleanPath(home.absolutePath()));
}

ShellTreeModel::Node& ShellTreeModel::Insert(Node& parent, std::size_t position, Kind kind,
                                             const QString& caption, const QString& path)
{
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->caption = caption;
    node->path = path;
    node->parent = &parent;
    Node& inserted = *node;
    parent.children.insert(parent.children.begin() + static_cast<std::ptrdiff_t>(position), std::move(node));
    for (std::size_t row = position; row < parent.children.size(); ++row) {
        parent.children[row]->row = static_cast<int>(row);
    }
    return inserted;
}

QModelIndex ShellTreeModel::IndexOf(const Node* node) const
{
    if (node == nullptr || node == &root_) {
        return {};
    }
    return createIndex(node->row, 0, node);
}

const ShellTreeModel::Node* ShellTreeModel::NodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<const Node*>(index.internalPointer()) : &root_;
}

QModelIndex ShellTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = NodeOf(parent);
    if (column != 0 || row < 0 || static_cast<std::size_t>(row) >= node->children.size()) {
        return {};
    }
    return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex ShellTreeModel::parent(const QModelIndex& child) const
{
    return child.isValid() ? IndexOf(NodeOf(child)->parent) : QModelIndex();
}

int ShellTreeModel::rowCount(const QModelIndex& parent) const
{
    return parent.column() > 0 ? 0 : static_cast<int>(NodeOf(parent)->children.size());
}

int ShellTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ShellTreeModel::hasChildren(const QModelIndex& parent) const
{
    const Node* node = NodeOf(parent);
    return !node->listed || !node->children.empty();
}

bool ShellTreeModel::canFetchMore(const QModelIndex& parent) const
{
    return !NodeOf(parent)->listed;
}

void ShellTreeModel::fetchMore(const QModelIndex& parent)
{
    List(*Mutable(NodeOf(parent)));
}

QVariant ShellTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) {
        return {};
    }
    const Node* node = NodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return node->caption;
    case Qt::ToolTipRole:
        return node->path.isEmpty() ? QVariant() : QVariant(QDir::toNativeSeparators(node->path));
    case Qt::DecorationRole:
        return node->kind == Kind::Desktop ? desktopIcon_
               : node->kind == Kind::Drive ? driveIcon_
                                           : folderIcon_;
    default:
        return {};
    }
}

void ShellTreeModel::List(Node& node)
{
    if (node.listed) {
        return;
    }
    QStringList names = QDir(node.path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(names.begin(), names.end(), NameLess);
    node.listed = true;
    if (names.isEmpty()) {
        return;
    }
    beginInsertRows(IndexOf(&node), 0, static_cast<int>(names.size()) - 1);
    for (const QString& name : names) {
        Insert(node, node.children.size(), Kind::Folder, name, JoinPath(node.path, name));
    }
    endInsertRows();
}

ShellTreeModel::Node* ShellTreeModel::ChildNamed(Node& node, const QString& name)
{
    List(node);
    for (const auto& child : node.children) {
        if (SameName(child->caption, name)) {
            return child.get();
        }
    }
    // Hidden folders are not listed, but a path may still lead through one.
    const QString path = JoinPath(node.path, name);
    if (!QFileInfo(path).isDir()) {
        return nullptr;
    }
    std::size_t position = 0;
    while (position < node.children.size() && NameLess(node.children[position]->caption, name)) {
        ++position;
    }
    const int row = static_cast<int>(position);
    beginInsertRows(IndexOf(&node), row, row);
    Node& child = Insert(node, position, Kind::Folder, name, path);
    endInsertRows();
    return &child;
}

const ShellTreeModel::Node* ShellTreeModel::FindFolder(const QString& path)
{
    for (const auto& top : Desktop()->children) {
        if (top->kind != Kind::Drive || !StartsWithFolder(path, top->path)) {
            continue;
        }
        Node* node = top.get();
        const QStringList names = path.mid(top->path.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& name : names) {
            node = ChildNamed(*node, name);
            if (node == nullptr) {
                return nullptr;
            }
        }
        return node;
    }
    return nullptr;
}

QString TTreeNode::Caption() const
{
    return index_.isValid() ? index_.data(Qt::DisplayRole).toString() : QString();
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
        const QFileInfo info(path);
        const auto* node =
            info.isDir() ? model_->FindFolder(QDir::cleanPath(info.absoluteFilePath())) : nullptr;
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
}

void TShellTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        const QModelIndex under = indexAt(event->position().toPoint());
        if (under.isValid()) {
            selectionModel()->setCurrentIndex(under, QItemSelectionModel::ClearAndSelect);
        }
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

// Folders first, then names in the order the rest of the program lists files in.
class FolderFirstOrder : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override
    {
        const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
        const bool leftIsFolder = files->isDir(left);
        if (leftIsFolder != files->isDir(right)) {
            return leftIsFolder;
        }
        return NameLess(files->fileName(left), files->fileName(right));
    }
};

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

TShellListView::TShellListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    // startDrag decides whether a drag really begins.
    setDragDropMode(QAbstractItemView::DragOnly);
    connect(this, &QAbstractItemView::activated, this, &TShellListView::OnActivated);
    CreateModel();
    ShowFolderRoot();
}

void TShellListView::CreateModel()
{
    // Each folder gets a model of its own, read when it is opened: a model kept from an earlier
    // visit could show files that have gone since. Changes on disk are not followed, so items keep
    // their indexes until the folder is read again.
    auto* files = new QFileSystemModel(this);
    files->setOption(QFileSystemModel::DontWatchForChanges);
    files->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);
    files->setReadOnly(false);
    auto* order = new FolderFirstOrder(this);
    order->setSourceModel(files);
    order->setDynamicSortFilter(true);
    order->sort(0, Qt::AscendingOrder);

    QItemSelectionModel* oldSelection = selectionModel();
    if (oldSelection != nullptr) {
        // The header follows the selection and the root; left as they are, it would map them
        // through the new model.
        oldSelection->clear();
        setRootIndex(QModelIndex());
    }
    setModel(order);
    delete oldSelection;
    if (order_ != nullptr) {
        order_->deleteLater();
        files_->deleteLater();
    }
    files_ = files;
    order_ = order;
    ++contentsVersion_;
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TShellListView::OnSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TShellListView::OnCurrentChanged);

    header()->setStretchLastSection(false);
    header()->resizeSection(0, 200);
    header()->resizeSection(1, 80);
    header()->resizeSection(2, 90);
    header()->resizeSection(3, 130);
}

void TShellListView::ShowFolderRoot()
{
    const QModelIndex source = files_->setRootPath(folder_);
    setRootIndex(folder_.isEmpty() ? QModelIndex() : order_->mapFromSource(source));
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
    CreateModel();
    ShowFolderRoot();
}

QModelIndex TShellListView::ItemAt(int index) const
{
    return index < 0 ? QModelIndex() : order_->index(index, 0, rootIndex());
}

int TShellListView::ItemCount() const
{
    return order_->rowCount(rootIndex());
}

int TShellListView::SelectionCount() const
{
    // Counted from the selection's row ranges rather than its cells: a Shift-click over a large
    // folder sends a notification per item, and each one asks for the count.
    const QModelIndex root = rootIndex();
    std::vector<std::pair<int, int>> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.isValid() && range.parent() == root && range.left() == 0) {
            rows.emplace_back(range.top(), range.bottom());
        }
    }
    std::sort(rows.begin(), rows.end());
    int count = 0;
    int counted = -1; // the last row counted, so that overlapping ranges count their rows once
    for (const auto& [top, bottom] : rows) {
        if (bottom > counted) {
            count += bottom - std::max(top, counted + 1) + 1;
            counted = bottom;
        }
    }
    return count;
}

bool TShellListView::Selected(int index) const
{
    const QModelIndex item = ItemAt(index);
    return item.isValid() && selectionModel()->isSelected(item);
}

void TShellListView::SetSelected(int index, bool selected)
{
    const QModelIndex item = ItemAt(index);
    if (item.isValid()) {
        selectionModel()->select(item,
                                 (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                     QItemSelectionModel::Rows);
    }
}

void TShellListView::ClearSelection()
{
    NotificationBatch batch(*this, true);
    selectionModel()->clearSelection();
}

void TShellListView::RepaintItem(int index)
{
    const QRect row = visualRect(ItemAt(index));
    if (row.isValid() && viewport()->rect().intersects(row)) {
        viewport()->repaint(QRect(0, row.top(), viewport()->width(), row.height()));
    }
}

QString TShellListView::Caption(int index) const
{
    const QModelIndex item = ItemAt(index);
    return item.isValid() ? item.data(Qt::DisplayRole).toString() : QString();
}

bool TShellListView::Focused(int index) const
{
    const QModelIndex current = currentIndex();
    return index >= 0 && current.isValid() && current.row() == index && current.parent() == rootIndex();
}

QString TShellListView::ItemPath(int index) const
{
    const QModelIndex item = ItemAt(index);
    if (!item.isValid()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return files_->filePath(order_->mapToSource(item));
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
    QList<QUrl> urls;
    const int count = ItemCount();
    for (int index = 0; index < count; ++index) {
        if (Selected(index)) {
            urls << QUrl::fromLocalFile(ItemPath(index));
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
    NotificationBatch batch(*this);
    QTreeView::mouseReleaseEvent(event);
}

void TShellListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    NotificationBatch batch(*this);
    QTreeView::mouseDoubleClickEvent(event);
}

void TShellListView::keyPressEvent(QKeyEvent* event)
{
    NotificationBatch batch(*this);
    QTreeView::keyPressEvent(event);
}

void TShellListView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    ++selectionVersion_;
    for (const QModelIndex& index : deselected.indexes()) {
        Touch(index);
    }
    for (const QModelIndex& index : selected.indexes()) {
        Touch(index);
    }
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}

void TShellListView::OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    Touch(previous);
    Touch(current);
    if (batchDepth_ == 0) {
        FlushNotifications();
    }
}

void TShellListView::Touch(const QModelIndex& index)
{
    if (index.isValid()) {
        touched_.append(QPersistentModelIndex(index.siblingAtColumn(0)));
    }
}

void TShellListView::FlushNotifications()
{
    const bool concernsAll = std::exchange(batchConcernsAll_, false);
    const QList<QPersistentModelIndex> touched = std::exchange(touched_, {});
    if (concernsAll) {
        emit Change(kAllItems);
        return;
    }
    const QModelIndex root = rootIndex();
    std::set<int> rows;
    for (const QPersistentModelIndex& index : touched) {
        if (index.isValid() && index.parent() == root) {
            rows.insert(index.row());
        }
    }
    const QModelIndex current = currentIndex();
    const int focusedRow = current.isValid() && current.parent() == root ? current.row() : kAllItems;
    for (const int row : rows) {
        if (row != focusedRow) {
            emit Change(row);
        }
    }
    if (rows.contains(focusedRow)) {
        emit Change(focusedRow);
    }
}

void TShellListView::OnActivated(const QModelIndex& index)
{
    const QModelIndex source = order_->mapToSource(index.siblingAtColumn(0));
    const QString path = files_->filePath(source);
    if (files_->isDir(source)) {
        SetFolder(path);
        emit FolderOpened(path);
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        ShowErrorBox(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    }
}

void LinkShellViews(TShellTreeView& tree, TShellListView& list)
{
    QObject::connect(&tree, &TShellTreeView::Change, &list,
                     [&list](const QString& path) { list.SetFolder(path); });
    QObject::connect(&list, &TShellListView::FolderOpened, &tree,
                     [&tree](const QString& path) { RunHandler([&] { tree.SetPath(path); }); });
    list.SetFolder(tree.Path());
}

} // namespace lmp::gui
