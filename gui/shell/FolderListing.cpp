#include "gui/shell/FolderListing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/NaturalOrder.h"
#include "sys/CommandLine.h"

namespace lmp::gui {

namespace {

using Clock = std::chrono::steady_clock;

// Entries read are sorted and merged on the listing's thread this many at a time.
constexpr std::size_t kChunk = 4096;
// The first entries are handed over this soon, the later ones at most this often unless the window's
// thread takes them faster: each hand-over costs that thread a pass over the list.
constexpr auto kFirstHandOver = std::chrono::milliseconds(20);
constexpr auto kHandOver = std::chrono::milliseconds(100);
constexpr int kPollMs = 100;

FolderListing::Opener& OpenerInPlace()
{
    static FolderListing::Opener opener = sys::OpenFolder;
    return opener;
}

bool Before(const ListedBatch& batch, const ListedEntry& left, const ListedEntry& right)
{
    if (left.isFolder != right.isFolder) {
        return left.isFolder;
    }
    return NaturalLess(batch.Name(left), batch.Name(right));
}

void Sort(ListedBatch& batch)
{
    std::sort(
        batch.entries.begin(), batch.entries.end(),
        [&batch](const ListedEntry& left, const ListedEntry& right) { return Before(batch, left, right); });
}

} // namespace

void ListedBatch::Merge(ListedBatch& other)
{
    if (entries.empty()) {
        *this = std::exchange(other, {});
        return;
    }
    const auto shift = static_cast<std::uint32_t>(names.size());
    names += other.names;
    for (ListedEntry& entry : other.entries) {
        entry.name += shift;
    }
    std::vector<ListedEntry> merged;
    merged.reserve(entries.size() + other.entries.size());
    std::merge(entries.begin(), entries.end(), other.entries.begin(), other.entries.end(),
               std::back_inserter(merged), [this](const ListedEntry& left, const ListedEntry& right) {
                   return Before(*this, left, right);
               });
    entries = std::move(merged);
    other = {};
}

// What the listing's thread and the window's thread share, under the mutex. The thread holds it for as
// long as it runs, so that it outlives the listing object.
struct FolderListing::Shared {
    std::mutex mutex;
    QueuedCall* call = nullptr; // null once the listing object has gone
    std::atomic<bool> stopped{false};
    ListedBatch sorted; // read and sorted, not yet taken
    ListedBatch fresh;  // read since, in the system's order
    bool named = false; // every entry is in sorted or fresh, or has been taken
    std::vector<EntryStat> stats;
    bool done = false;
    std::error_code error;

    // With the mutex held.
    void Post()
    {
        if (call != nullptr) {
            call->Post();
        }
    }
};

namespace {

// Hands over at most so often, unless the window's thread takes what there is faster.
class HandOver {
public:
    bool Due()
    {
        const Clock::time_point now = Clock::now();
        if (now - last_ < (first_ ? kFirstHandOver : kHandOver)) {
            return false;
        }
        first_ = false;
        last_ = now;
        return true;
    }

private:
    Clock::time_point last_ = Clock::now();
    bool first_ = true;
};

} // namespace

void FolderListing::Read(const std::shared_ptr<Shared>& shared, const std::filesystem::path& folder,
                         Details details, const Keep& keep, const Opener& opener)
{
    std::error_code error;
    std::unique_ptr<sys::FolderReader> reader;
    try {
        reader = opener(folder, error);
    } catch (const std::exception&) {
        error = std::make_error_code(std::errc::io_error);
    }
    HandOver handOver;
    // The entries whose details come in the second pass: their numbers, kinds and names.
    struct Later {
        std::uint32_t sequence;
        std::uint32_t name;
        std::uint32_t nameSize;
        bool isFolder;
    };
    std::vector<Later> later;
    std::string laterNames;
    std::uint32_t sequence = 0;
    while (reader && !shared->stopped) {
        std::optional<sys::FolderEntry> entry =
            reader->Next(details == Details::First ? sys::EntryDetails::Read : sys::EntryDetails::WhenCheap);
        if (!entry) {
            error = reader->Error();
            break;
        }
        const std::string name = sys::Utf8FromPath(entry->name);
        if (!keep(*entry, name)) {
            continue;
        }
        ListedEntry listed;
        listed.size = entry->size;
        listed.modifiedNs = entry->modifiedNs;
        listed.inode = entry->inode;
        listed.nameSize = static_cast<std::uint32_t>(name.size());
        listed.sequence = sequence++;
        listed.isFolder = entry->isFolder;
        listed.hidden = entry->hidden;
        listed.detailed = entry->detailed;
        if (!entry->detailed && details == Details::Later) {
            later.push_back({listed.sequence, static_cast<std::uint32_t>(laterNames.size()), listed.nameSize,
                             listed.isFolder});
            laterNames += name;
        }
        ListedBatch chunk;
        {
            const std::lock_guard lock(shared->mutex);
            listed.name = static_cast<std::uint32_t>(shared->fresh.names.size());
            shared->fresh.names += name;
            shared->fresh.entries.push_back(listed);
            if (shared->fresh.entries.size() >= kChunk) {
                chunk = std::exchange(shared->fresh, {});
            }
        }
        if (!chunk.entries.empty()) {
            Sort(chunk);
            const std::lock_guard lock(shared->mutex);
            shared->sorted.Merge(chunk);
        }
        if (handOver.Due()) {
            const std::lock_guard lock(shared->mutex);
            shared->Post();
        }
    }
    {
        const std::lock_guard lock(shared->mutex);
        shared->named = true;
        shared->Post();
    }
    for (const Later& waiting : later) {
        if (shared->stopped) {
            break;
        }
        sys::FolderEntry entry;
        entry.name = sys::PathFromUtf8(laterNames.substr(waiting.name, waiting.nameSize));
        entry.isFolder = waiting.isFolder;
        entry.detailed = false;
        // One that has gone since stays without size and time; the folder's watcher takes it away.
        if (!reader->Detail(entry)) {
            continue;
        }
        const std::lock_guard lock(shared->mutex);
        shared->stats.push_back({waiting.sequence, entry.size, entry.modifiedNs, entry.inode});
        if (handOver.Due()) {
            shared->Post();
        }
    }
    const std::lock_guard lock(shared->mutex);
    shared->done = true;
    shared->error = error;
    shared->Post();
}

void FolderListing::SetOpener(Opener opener)
{
    OpenerInPlace() = opener ? std::move(opener) : Opener(sys::OpenFolder);
}

FolderListing::Opener FolderListing::CurrentOpener()
{
    return OpenerInPlace();
}

FolderListing::FolderListing(const std::filesystem::path& folder, Details details, Keep keep,
                             Receivers receivers, QObject* parent)
    : QObject(parent), receivers_(std::move(receivers)), shared_(std::make_shared<Shared>())
{
    shared_->call = &takeCall_;
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &FolderListing::Take);
    poll_.start();
    try {
        // Detached: a folder that does not answer must hold up neither the window nor the program's end.
        std::thread([shared = shared_, folder, details, keep = std::move(keep), opener = OpenerInPlace()] {
            Read(shared, folder, details, keep, opener);
        }).detach();
    } catch (const std::system_error& failure) {
        const std::lock_guard lock(shared_->mutex);
        shared_->named = shared_->done = true;
        shared_->error = failure.code();
        shared_->Post();
    }
}

FolderListing::~FolderListing()
{
    Stop();
}

void FolderListing::Stop()
{
    running_ = false;
    poll_.stop();
    shared_->stopped = true;
    const std::lock_guard lock(shared_->mutex);
    shared_->call = nullptr;
}

void FolderListing::Take()
{
    takeCall_.Arrived();
    if (!running_) {
        return;
    }
    ListedBatch batch;
    ListedBatch fresh;
    std::vector<EntryStat> stats;
    bool named = false;
    bool done = false;
    std::error_code error;
    {
        const std::lock_guard lock(shared_->mutex);
        batch = std::exchange(shared_->sorted, {});
        fresh = std::exchange(shared_->fresh, {});
        stats = std::exchange(shared_->stats, {});
        named = shared_->named;
        done = shared_->done;
        error = shared_->error;
    }
    Sort(fresh);
    batch.Merge(fresh);
    // The receivers may stop this listing: copies of them run, and each step looks whether it still runs.
    const Receivers receivers = receivers_;
    if (!batch.entries.empty() && receivers.arrived) {
        receivers.arrived(batch);
    }
    if (named && running_ && !std::exchange(named_, true) && receivers.named) {
        receivers.named();
    }
    if (!stats.empty() && running_ && receivers.detailed) {
        receivers.detailed(stats);
    }
    if (done && running_) {
        running_ = false;
        poll_.stop();
        if (receivers.finished) {
            receivers.finished(error);
        }
    }
}

} // namespace lmp::gui
