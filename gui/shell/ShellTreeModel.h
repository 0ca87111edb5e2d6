#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>

#include "gui/shell/FolderListing.h"

namespace lmp::gui {

// The tree's own model of the shell namespace. The desktop node is no folder and the home folder
// appears both under it and under the file-system root, which one-to-one proxies of a file-system
// model cannot express.
class ShellTreeModel : public QAbstractItemModel {
public:
    enum class Kind { Desktop, Drive, Home, Folder };
    // The node's name as its path spells it (see PathText): the caption for all but a folder whose
    // name is not UTF-8 or holds a character that ShownName shows as U+FFFD.
    static constexpr int PathNameRole = Qt::UserRole + 1;

    struct Node {
        Kind kind = Kind::Folder;
        QString caption;
        QString name; // the caption as the path spells it
        QString path; // empty for the desktop
        Node* parent = nullptr;
        int row = 0;
        bool listed = false; // its folders are being read, or have been
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
    // The node of the folder at a clean absolute path, the folders on the way starting to be read; null
    // when the path leads through something that is no folder.
    const Node* FindFolder(const QString& path);
    // Reads the node's folders again if they have been read: folders made since appear, those gone
    // disappear, the others keep their nodes.
    void Reread(const Node* node);
    // Folders are being read for some node.
    bool Listing() const { return !listings_.empty(); }

private:
    using Names = std::vector<QString>;

    Node* Desktop() const { return root_.children.front().get(); }
    static Node* Mutable(const Node* node) { return const_cast<Node*>(node); }
    // Starts reading the node's folders, on a thread of their own; their nodes come as they are read.
    void List(Node& node);
    void StartListing(Node& node, bool whole);
    // Adds nodes for the folders named, in order, that the node does not have.
    void AddFolders(Node& node, Names names);
    // Takes away the nodes below node that are not named, in order, among names.
    void KeepFolders(Node& node, const Names& names);
    void StopListingsBelow(const Node& node);
    Node* ChildNamed(Node& node, const QString& name);
    Node& Insert(Node& parent, std::size_t position, Kind kind, const QString& caption, const QString& path,
                 const QString& name = {});
    void Renumber(Node& node, std::size_t from);

    Node root_; // the invisible root above the desktop
    // The readings under way: a node's first, or its whole folder read again.
    std::unordered_map<const Node*, std::unique_ptr<FolderListing, DeleteLater>> listings_;
    struct Found {
        Names all;   // the folders, hidden ones too
        Names shown; // the folders not hidden
    };
    std::unordered_map<const Node*, Found> reread_; // what a reading again has found so far
    QIcon desktopIcon_;
    QIcon driveIcon_;
    QIcon folderIcon_;
};

} // namespace lmp::gui
