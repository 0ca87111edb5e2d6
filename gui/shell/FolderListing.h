#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <QObject>
#include <QTimer>

#include "gui/desktop/QueuedCall.h"
#include "sys/Folder.h"

namespace lmp::gui {

// One entry of a folder as a listing hands it over; its name's bytes lie in its batch's names.
struct ListedEntry {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; // last write, nanoseconds since 1970-01-01 UTC
    std::uint64_t inode = 0;
    std::uint32_t name = 0; // where the name starts in ListedBatch::names
    std::uint32_t nameSize = 0;
    std::uint32_t sequence = 0; // the entry's number in the order of reading, from 0
    bool isFolder = false;
    bool hidden = false;
    // Size, time and inode read; else an EntryStat follows with FolderListing::Details::Later.
    bool detailed = false;
};

// The size, time and inode of an entry handed over without them.
struct EntryStat {
    std::uint32_t sequence = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t inode = 0;
};

// Entries of one folder, folders first, then names in lmp::NaturalLess order of their bytes (UTF-8 on
// Windows, as sys::Utf8FromPath gives them).
struct ListedBatch {
    std::string names;
    std::vector<ListedEntry> entries;

    std::string_view Name(const ListedEntry& entry) const
    {
        return {names.data() + entry.name, entry.nameSize};
    }
    // Takes in the entries of other, sorted alike, in their places; other is left empty.
    void Merge(ListedBatch& other);
};

// Reads one folder on a thread of its own and hands the entries read to this object's thread in sorted
// batches, the first within a frame or two, then at most every 100 ms (and at least that often while the
// system is slow), so that a large or slow folder never holds up the window. Where the
// listing of a folder gives names and kinds alone, the sizes, times and inodes may follow in a second pass
// (Details::Later): the names of a large folder are listed in a fraction of the time. A folder that stops
// answering holds up only its own thread: stopping the listing stops every hand-over at once and leaves
// that thread, which owns nothing of the window, to end whenever the system lets it.
class FolderListing : public QObject {
    Q_OBJECT

public:
    enum class Details {
        None,  // names and kinds only
        Later, // names and kinds first, then the sizes, times and inodes the listing did not give
        First, // every entry with its size, time and inode
    };
    using Opener = std::function<std::unique_ptr<sys::FolderReader>(const std::filesystem::path& path,
                                                                    std::error_code&)>;
    // Whether an entry is handed over, by the entry (details or not) and its name's bytes.
    using Keep = std::function<bool(const sys::FolderEntry& entry, std::string_view name)>;
    // What the listing hands over, on this object's thread, in this order: batches of entries, sorted
    // (how they came says nothing of their order); named once every entry has been handed over; with
    // Details::Later, the details of entries handed over without them; finished, once, last: clear, or
    // the system's error that ended the listing (what was read before it has been handed over).
    struct Receivers {
        std::function<void(ListedBatch& batch)> arrived;
        std::function<void()> named;
        std::function<void(std::vector<EntryStat>& stats)> detailed;
        std::function<void(std::error_code error)> finished;
    };

    // Every listing opens its folder with the opener: sys::OpenFolder unless one is put in place (tests
    // and benchmarks put folders that answer slowly or never). Window thread only.
    static void SetOpener(Opener opener);
    static Opener CurrentOpener();

    // Starts reading folder; entries that keep turns down are left out.
    FolderListing(const std::filesystem::path& folder, Details details, Keep keep, Receivers receivers,
                  QObject* parent = nullptr);
    // Stops it.
    ~FolderListing() override;
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Nothing more is handed over, from now on; a thread that the system holds up ends on its own later.
    // The receivers may call it, and then delete the listing with deleteLater() only.
    void Stop();
    // Until finished has been called or the listing stopped.
    bool Running() const { return running_; }

private slots:
    void Take();

private:
    struct Shared;

    // The listing's thread.
    static void Read(const std::shared_ptr<Shared>& shared, const std::filesystem::path& folder,
                     Details details, const Keep& keep, const Opener& opener);

    Receivers receivers_;
    std::shared_ptr<Shared> shared_;
    QueuedCall takeCall_{*this, "Take"};
    QTimer poll_; // takes what a slow folder has given so far
    bool running_ = true;
    bool named_ = false;
};

// Stops a listing and deletes it once control is back in its thread's event loop, so that one of its own
// callbacks may end it.
struct DeleteLater {
    void operator()(FolderListing* listing) const
    {
        listing->Stop();
        listing->deleteLater();
    }
};

} // namespace lmp::gui
