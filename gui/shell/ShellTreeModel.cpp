#include "gui/shell/ShellTreeModel.h"

#include <algorithm>
#include <utility>

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>

#include "gui/desktop/NativePath.h"
#include "gui/shell/FolderFirstOrder.h"
#include "sys/FileNames.h"
#include "sys/Folder.h"
#include "sys/ShellNames.h"

namespace lmp::gui {

namespace {

Qt::CaseSensitivity NameCase()
{
    return sys::NamesAreCaseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

bool SameName(const QString& left, const QString& right)
{
    return left.compare(right, NameCase()) == 0;
}

bool StartsWithFolder(const QString& path, const QString& folder)
{
    return path.startsWith(folder, NameCase());
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The names of the folders in the folder at path, hidden ones left out, in the tree's order. Listed by the
// system layer, so that names which are not UTF-8 are there too.
QStringList FolderNames(const QString& path)
{
    std::error_code error;
    const auto entries = sys::ListFolder(NativePath(path), error);
    QStringList names;
    if (!entries) {
        return names;
    }
    for (const sys::FolderEntry& entry : *entries) {
        if (entry.isFolder && !entry.hidden) {
            names.append(PathText(entry.name));
        }
    }
    std::sort(names.begin(), names.end(), NameLess);
    return names;
}

bool IsFolder(const QString& path)
{
    std::error_code error;
    return std::filesystem::is_directory(NativePath(path), error);
}

} // namespace

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
        const QString caption = QString::fromStdString(sys::DriveCaption(path.toStdString()));
        Insert(desktop, desktop.children.size(), Kind::Drive, caption, path);
    }
    const QDir home = QDir::home();
    Insert(desktop, desktop.children.size(), Kind::Home, home.dirName(),
           QDir::cleanPath(home.absolutePath()));
}

ShellTreeModel::Node& ShellTreeModel::Insert(Node& parent, std::size_t position, Kind kind,
                                             const QString& caption, const QString& path, const QString& name)
{
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->caption = caption;
    node->name = name.isEmpty() ? caption : name;
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
    case PathNameRole:
        return node->name;
    case Qt::ToolTipRole:
        return node->path.isEmpty() ? QVariant()
                                    : QVariant(QDir::toNativeSeparators(ShownName(NativePath(node->path))));
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
    const QStringList names = FolderNames(node.path);
    node.listed = true;
    if (names.isEmpty()) {
        return;
    }
    beginInsertRows(IndexOf(&node), 0, static_cast<int>(names.size()) - 1);
    for (const QString& name : names) {
        Insert(node, node.children.size(), Kind::Folder, ShownName(NativePath(name)),
               JoinPath(node.path, name), name);
    }
    endInsertRows();
}

void ShellTreeModel::Reread(const Node* node)
{
    Node& folder = *Mutable(node);
    if (!folder.listed || folder.kind == Kind::Desktop || folder.path.isEmpty()) {
        return;
    }
    for (std::size_t row = folder.children.size(); row-- > 0;) {
        if (!IsFolder(folder.children[row]->path)) {
            beginRemoveRows(IndexOf(&folder), static_cast<int>(row), static_cast<int>(row));
            folder.children.erase(folder.children.begin() + static_cast<std::ptrdiff_t>(row));
            for (std::size_t after = row; after < folder.children.size(); ++after) {
                folder.children[after]->row = static_cast<int>(after);
            }
            endRemoveRows();
        }
    }
    for (const QString& name : FolderNames(folder.path)) {
        ChildNamed(folder, name);
    }
}

ShellTreeModel::Node* ShellTreeModel::ChildNamed(Node& node, const QString& name)
{
    List(node);
    for (const auto& child : node.children) {
        if (SameName(child->name, name)) {
            return child.get();
        }
    }
    // Hidden folders are not listed, but a path may still lead through one.
    const QString path = JoinPath(node.path, name);
    if (!IsFolder(path)) {
        return nullptr;
    }
    std::size_t position = 0;
    while (position < node.children.size() && NameLess(node.children[position]->name, name)) {
        ++position;
    }
    const int row = static_cast<int>(position);
    beginInsertRows(IndexOf(&node), row, row);
    Node& child = Insert(node, position, Kind::Folder, ShownName(NativePath(name)), path, name);
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

} // namespace lmp::gui
