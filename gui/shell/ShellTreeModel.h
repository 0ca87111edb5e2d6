#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>

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
    // Reads the node's folders again if they have been read: folders made since appear, those gone
    // disappear, the others keep their nodes.
    void Reread(const Node* node);

private:
    Node* Desktop() const { return root_.children.front().get(); }
    static Node* Mutable(const Node* node) { return const_cast<Node*>(node); }
    void List(Node& node);
    Node* ChildNamed(Node& node, const QString& name);
    Node& Insert(Node& parent, std::size_t position, Kind kind, const QString& caption, const QString& path,
                 const QString& name = {});

    Node root_; // the invisible root above the desktop
    QIcon desktopIcon_;
    QIcon driveIcon_;
    QIcon folderIcon_;
};

} // namespace lmp::gui
