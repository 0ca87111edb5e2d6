#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QObject>
#include <QTimer>

#include "core/GameDetails.h"
#include "gui/desktop/QueuedCall.h"
#include "scan/DescribeService.h"

namespace lmp::gui {

class TShellListView;
struct FileItem;

// The file list's game-detail columns (edition, ride or park, ratings, length, park rating, guests,
// cash), filled in the background: the list's game files are described on the window's describing
// service, the rows in view in its lane for them and the rest of the folder in its last lane, at most a
// bounded number at a time besides the rows in view. When the list scrolls or is resized, the rows come
// into view go ahead of the rest and those that left it go back among the folder's; the results are taken as
// they come, so that a huge file holds up no other, and the window's thread only takes them, a slice of its
// time at a time. The details of the files listed are kept once, by the list's item numbers; when the list
// lets them go (another folder, a reading anew) they go to a cache by folder, name and stamp (size,
// modification time, inode), so a folder listed again reads only the files that changed. Folders, other files
// and files of no edition leave the cells blank.
class GameDetailsColumns : public QObject {
    Q_OBJECT

public:
    // The columns of the list, hidden until SetShown(true).
    explicit GameDetailsColumns(TShellListView& list);
    // Stops the files being read at their next chunk.
    ~GameDetailsColumns() override;

    // Adds the columns after the list's own and fills them, or takes them away.
    void SetShown(bool shown);
    bool Shown() const { return shown_; }
    // The decimal mark of the ratings, as the pane shows them.
    void SetDecimalMark(std::string mark);
    // Where descriptions are looked up before files are read, and kept once read; none to read every file.
    void SetDiskCache(std::shared_ptr<DescriptionCache> cache);
    const std::string& DecimalMark() const { return decimalMark_; }

    // The item's details once read; null while unread, for folders and for files that are no game files.
    const GameDetails* Find(const FileItem& item) const;
    // Files of the list still to be read or looked up; while the list is still reading its folder, at
    // least 1.
    std::size_t Pending() const;
    // Files whose details the cache holds: those of folders listed before.
    std::size_t CachedFiles() const { return cache_.Size(); }

signals:
    // The last file pending has been read, the list having read its folder.
    void Filled();

private slots:
    // Takes the outcomes ready on the service into the columns.
    void TakeOutcomes();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Unread: not looked up yet; Queued: not in the cache, waiting its turn; Failed: could not be read,
    // blank and not cached, so that another run of the window tries again.
    enum class State : std::uint8_t { Unread, Queued, Reading, Known, Failed };
    struct Known {
        FileStamp stamp; // of the details, or of the file being read
        GameDetails details;
        State state = State::Unread;
    };
    struct Ticket {
        std::uint32_t id;
        FileStamp stamp;
    };
    struct Queued {
        int row;
        std::uint32_t id; // the item at row when it was queued
    };

    void ScheduleFill();
    void Fill();
    // The row's file looked up, in the cache or among the details known; true when it is to be read.
    bool LookUp(int row, std::uint32_t folder, bool& found);
    void Submit(const FileItem& item, Known& known, DescribeLane lane);
    void TopUp();
    // The rows in view now: the first and the last.
    std::pair<int, int> RowsInView() const;
    void ScheduleFollow();
    // The rows come into view read next, those that left it back among the folder's.
    void FollowView();
    void CancelReading();
    void KeepInCache();
    void Forget();
    Known& KnownOf(std::uint32_t id);

    TShellListView& list_;
    bool shown_ = false;
    std::string decimalMark_ = ".";
    DetailsCache cache_;
    std::vector<std::uint32_t> knownAt_; // by item number: where in known_ its details are
    std::vector<Known> known_;           // the list's game files
    std::vector<Queued> queue_;          // to read, first first; made anew whenever rows move
    std::size_t queued_ = 0;             // the first in queue_ not yet submitted
    int pass_ = -1;                      // the rows looked at so far by a pass under way
    int passTop_ = 0;                    // the row the pass started at
    int viewTop_ = 0;                    // the rows in view, as last seen
    int viewBottom_ = -1;
    std::unordered_map<std::uint64_t, Ticket> tickets_;         // the files submitted
    std::unordered_map<std::uint32_t, std::uint64_t> ticketOf_; // their tickets, by item number
    QTimer fill_;
    QTimer follow_; // once per turn of the event loop however many scroll steps it brings
    QueuedCall takeCall_{*this, "TakeOutcomes"};
    std::unique_ptr<DescribeService::Client> client_;
    std::shared_ptr<DescriptionCache> disk_;
};

} // namespace lmp::gui
