#include "gui/shell/ShellTreeModel.h"

#include <algorithm>
#include <utility>

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QSet>

#include "gui/desktop/NativePath.h"
#include "gui/shell/FolderFirstOrder.h"
#include "sys/CommandLine.h"
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

// Folders that come or go in up to this many runs do so run by run; more go in at the end and move into
// place as one layout change.
constexpr std::size_t kFewRuns = 16;

// The key two names have in common exactly when they are the same name on this system.
QString NameKey(const QString& name)
{
    return sys::NamesAreCaseSensitive() ? name : name.toCaseFolded();
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
    return !node->listed || !node->children.empty() || listings_.contains(node);
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
    node.listed = true;
    StartListing(node, false);
}

void ShellTreeModel::StartListing(Node& node, bool whole)
{
    Node* const target = &node;
    reread_.erase(target);
    FolderListing::Receivers receivers;
    receivers.arrived = [this, target, whole](ListedBatch& batch) {
        Found found;
        for (const ListedEntry& entry : batch.entries) {
            QString name = PathText(sys::PathFromUtf8(std::string(batch.Name(entry))));
            if (!entry.hidden) {
                found.shown.push_back(name);
            }
            found.all.push_back(std::move(name));
        }
        if (!whole) {
            AddFolders(*target, std::move(found.shown));
            return;
        }
        Found& sofar = reread_[target];
        sofar.all.insert(sofar.all.end(), found.all.begin(), found.all.end());
        sofar.shown.insert(sofar.shown.end(), found.shown.begin(), found.shown.end());
    };
    receivers.finished = [this, target, whole](std::error_code error) {
        Found found = std::move(reread_[target]);
        reread_.erase(target);
        listings_.erase(target);
        if (whole) {
            // A folder that cannot be read any more has no folders left to show.
            if (error) {
                found = {};
            }
            KeepFolders(*target, found.all);
            AddFolders(*target, std::move(found.shown));
        }
    };
    listings_[target].reset(new FolderListing(
        NativePath(node.path), FolderListing::Details::None,
        [](const sys::FolderEntry& entry, std::string_view) { return entry.isFolder; }, std::move(receivers),
        this));
}

void ShellTreeModel::Renumber(Node& node, std::size_t from)
{
    for (std::size_t row = from; row < node.children.size(); ++row) {
        node.children[row]->row = static_cast<int>(row);
    }
}

void ShellTreeModel::AddFolders(Node& node, Names names)
{
    QSet<QString> present;
    for (const auto& child : node.children) {
        present.insert(NameKey(child->name));
    }
    std::erase_if(names, [&present](const QString& name) { return present.contains(NameKey(name)); });
    if (names.empty()) {
        return;
    }
    std::sort(names.begin(), names.end(), NameLess);
    std::vector<std::size_t> at(names.size());
    std::size_t runs = 0;
    for (std::size_t next = 0, row = 0; next < names.size(); ++next) {
        while (row < node.children.size() && !NameLess(names[next], node.children[row]->name)) {
            ++row;
        }
        at[next] = row;
        runs += next == 0 || at[next] != at[next - 1] ? 1 : 0;
    }
    const QModelIndex parent = IndexOf(&node);
    const auto make = [&node](const QString& name) {
        auto child = std::make_unique<Node>();
        child->kind = Kind::Folder;
        child->caption = ShownName(NativePath(name));
        child->name = name;
        child->path = JoinPath(node.path, name);
        child->parent = &node;
        return child;
    };
    if (runs <= kFewRuns) {
        for (std::size_t end = names.size(); end > 0;) {
            std::size_t begin = end - 1;
            while (begin > 0 && at[begin - 1] == at[end - 1]) {
                --begin;
            }
            const std::size_t first = at[begin];
            beginInsertRows(parent, static_cast<int>(first), static_cast<int>(first + (end - begin)) - 1);
            for (std::size_t next = begin; next < end; ++next) {
                node.children.insert(node.children.begin() +
                                         static_cast<std::ptrdiff_t>(first + (next - begin)),
                                     make(names[next]));
            }
            Renumber(node, first);
            endInsertRows();
            end = begin;
        }
        return;
    }
    // Many runs: in at the end, then into place as one layout change.
    const std::size_t count = node.children.size();
    beginInsertRows(parent, static_cast<int>(count), static_cast<int>(count + names.size()) - 1);
    for (const QString& name : names) {
        node.children.push_back(make(name));
    }
    Renumber(node, count);
    endInsertRows();
    emit layoutAboutToBeChanged({QPersistentModelIndex(parent)}, QAbstractItemModel::VerticalSortHint);
    std::inplace_merge(node.children.begin(), node.children.begin() + static_cast<std::ptrdiff_t>(count),
                       node.children.end(),
                       [](const std::unique_ptr<Node>& left, const std::unique_ptr<Node>& right) {
                           return NameLess(left->name, right->name);
                       });
    Renumber(node, 0);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from) {
        to.append(IndexOf(NodeOf(old)));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({QPersistentModelIndex(parent)}, QAbstractItemModel::VerticalSortHint);
}

void ShellTreeModel::KeepFolders(Node& node, const Names& names)
{
    QSet<QString> kept;
    for (const QString& name : names) {
        kept.insert(NameKey(name));
    }
    for (std::size_t row = node.children.size(); row-- > 0;) {
        if (kept.contains(NameKey(node.children[row]->name))) {
            continue;
        }
        StopListingsBelow(*node.children[row]);
        beginRemoveRows(IndexOf(&node), static_cast<int>(row), static_cast<int>(row));
        node.children.erase(node.children.begin() + static_cast<std::ptrdiff_t>(row));
        Renumber(node, row);
        endRemoveRows();
    }
}

void ShellTreeModel::StopListingsBelow(const Node& node)
{
    const auto below = [&node](const Node* listed) {
        for (; listed != nullptr; listed = listed->parent) {
            if (listed == &node) {
                return true;
            }
        }
        return false;
    };
    std::erase_if(listings_, [&below](const auto& listing) { return below(listing.first); });
    std::erase_if(reread_, [&below](const auto& found) { return below(found.first); });
}

void ShellTreeModel::Reread(const Node* node)
{
    Node& folder = *Mutable(node);
    if (!folder.listed || folder.kind == Kind::Desktop || folder.path.isEmpty()) {
        return;
    }
    StartListing(folder, true);
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
