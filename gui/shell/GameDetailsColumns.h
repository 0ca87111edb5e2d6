#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

#include <QObject>
#include <QTimer>

#include "core/GameDetails.h"
#include "gui/desktop/QueuedCall.h"
#include "scan/DescribePipeline.h"

namespace lmp::gui {

class TShellListView;
struct FileItem;

// The file list's game-detail columns (edition, ride or park, ratings, length, park rating, guests,
// cash), filled in the background: the list's game files are described on a pipeline of their own,
// the rows in view first, and the window's thread only takes the results. Details already read are
// kept by path and stamp (size, modification time, inode), so a folder listed again reads only the
// files that changed. Folders, other files and files of no edition leave the cells blank.
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
    const std::string& DecimalMark() const { return decimalMark_; }

    // The item's details once read; null while unread, for folders and for files that are no game files.
    const GameDetails* Find(const FileItem& item) const;
    // Files of the list still being read.
    std::size_t Pending() const { return waiting_.size(); }
    std::size_t CachedFiles() const { return cache_.Size(); }

signals:
    // The last file pending has been read.
    void Filled();

private slots:
    // Takes the outcomes ready on the pipeline into the columns.
    void TakeOutcomes();

private:
    struct Known {
        FileStamp stamp;
        GameDetails details;
    };
    struct Waiting {
        std::filesystem::path path;
        FileStamp stamp;
    };

    void ScheduleFill();
    void Fill();
    void CancelReading();

    TShellListView& list_;
    bool shown_ = false;
    std::string decimalMark_ = ".";
    QString folder_; // the folder whose files are being read
    DetailsCache cache_;
    std::unordered_map<std::filesystem::path::string_type, Known> known_; // the listed files' details
    std::unordered_map<std::filesystem::path::string_type, std::uint64_t> waiting_; // path to ticket
    std::unordered_map<std::uint64_t, Waiting> tickets_;
    QTimer fill_;
    QueuedCall takeCall_{*this, "TakeOutcomes"};
    std::unique_ptr<DescribePipeline> pipeline_;
};

} // namespace lmp::gui
