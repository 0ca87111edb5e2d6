#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

class QMimeData;

namespace lmp::gui {

class TShellListView;
class TShellTreeView;

// The lines lmpinfo prints for the files, in their order: a separator line before every file after the
// first, folders left out. A file that cannot be read adds its error to errors and nothing to the lines.
std::vector<std::string> DescriptionLines(const std::vector<std::filesystem::path>& files,
                                          const std::string& decimalMark, QStringList& errors);

// What Ctrl+C in the list puts on the clipboard: the items' files as file URLs, and their paths as text,
// one a line.
QMimeData* FilesMimeData(const std::vector<std::filesystem::path>& files);

// The context menus of the file list and the folder tree, and Ctrl+C in the list. The list's items:
// Open, Copy Path, Copy Description, Rename, Refresh Description; its empty area: Refresh Directory. A tree
// folder: Open, Copy Path, Refresh; a right click on it leaves the folder shown as it is.
class ContextMenus : public QObject {
    Q_OBJECT

public:
    // The window's commands the menus run; each may throw, and goes through the error box.
    struct Commands {
        std::function<void(const QString& folder)> openFolder;
        std::function<void()> refreshDescription;
        std::function<void()> refreshDirectory;
        std::function<std::string()> decimalMark;
    };

    ContextMenus(TShellListView& list, TShellTreeView& tree, Commands commands);

    // The commands, without the menus around them, for the tests and the programs that drive the window.
    void OpenItem(int index);
    void CopyPaths() const;
    void CopyDescription() const;
    void CopyFiles() const;

private:
    void ListMenu(const QPoint& position);
    void TreeMenu(const QPoint& position);
    std::vector<std::filesystem::path> SelectedFiles() const;

    TShellListView& list_;
    TShellTreeView& tree_;
    Commands commands_;
};

} // namespace lmp::gui
