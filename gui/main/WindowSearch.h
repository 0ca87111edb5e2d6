#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "gui/desktop/QueuedCall.h"
#include "scan/TreeSearch.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace lmp {
class DescriptionCache;
}

namespace lmp::gui {

class TShellListView;

// The field above the file list that a search is typed in, "In subfolders" beside it, and a label that
// says why a query cannot be read. Hidden until the user asks to search.
class SearchBar : public QWidget {
    Q_OBJECT

public:
    SearchBar();

    QLineEdit& Field() const { return *field_; }
    QCheckBox& Subfolders() const { return *subfolders_; }
    // Says why the query cannot be read; empty clears it.
    void SayProblem(const QString& text);
    QString Problem() const;

signals:
    // Escape in the bar.
    void Dismissed();

private:
    QLineEdit* field_;
    QCheckBox* subfolders_;
    QLabel* problem_;
};

// The search of the folder shown, by name and game details (docs/search.md): typing filters the list to
// the folder's files that match, "In subfolders" to those of the whole tree below it, with the Folder
// column. The text is read a moment after the typing stops; the list then holds the files found so far
// (see FileListModel::ShowFound), which the selection commands, the pane, dragging and copying take as
// they take a listing. Clearing the field or Escape brings the folder back; another folder ends the search.
// Descriptions are looked up in, and kept in, the cache on disk while it is in use.
class WindowSearch : public QObject {
    Q_OBJECT

public:
    static constexpr int kSettleMs = 250;   // typing pauses this long before the query is read
    static constexpr int kHandOverMs = 100; // found files reach the list at most this often

    // changed is called whenever what StatusText says changes; note says a notice once.
    WindowSearch(SearchBar& bar, TShellListView& list, std::function<void()> changed,
                 std::function<void(const QString&)> note);
    ~WindowSearch() override;

    // Shows the bar and puts the cursor in the field, its text selected.
    void Open();
    // Ends the search, bringing the folder back, and hides the bar.
    void Close();
    // The list shows found files.
    bool Active() const;
    // Files are still being searched.
    bool Running() const;
    // Searches again for the text in the field, if any (Refresh Directory).
    void Restart();
    // The tree shows folder: a search of another folder ends, its text cleared.
    void FolderChanged(const QString& folder);
    // "M matches of N files examined" while the list shows found files; else empty.
    QString StatusText() const;

    // "Select Matching TP4's" among found files: the rows of the images of the selected track designs, each
    // from its design's own folder, put in the list first where the search did not find them.
    std::vector<int> FoundTrackImages();

    // Whether descriptions are looked up in and kept in the cache on disk.
    void SetCacheUsed(bool used);
    // The cache on disk while it is in use (opened when first asked for), else none.
    std::shared_ptr<DescriptionCache> DiskCache();
    // Forgets every description kept on disk; what it says, for the status bar.
    QString ClearCache();

public slots:
    void TakeFound();

private:
    // Reads the field's query and searches anew; an empty field ends the search.
    void Start();
    // Ends the search; relist brings the folder back into the list.
    void End(bool relist);
    // Empties the field and what it said.
    void ClearField();

    SearchBar& bar_;
    TShellListView& list_;
    std::function<void()> changed_;
    std::function<void(const QString&)> note_;
    QTimer settle_;
    QTimer handOver_;
    std::chrono::steady_clock::time_point lastHandOver_;
    QString folder_; // the folder searched
    std::unique_ptr<TreeSearch> search_;
    SearchCount count_;
    std::vector<FoundFile> found_;
    bool cacheUsed_ = true;
    std::shared_ptr<DescriptionCache> cache_;
    QueuedCall call_{*this, "TakeFound"};
};

} // namespace lmp::gui
