#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/Describe.h"

namespace lmp {

// The lines of a file described without its separator, with the separator line put in front: the same
// lines as describing it with withSeparator. Lets a caller decide on the separator after describing.
void AddSeparator(Description& description);

// One file's outcome from a DescribePipeline: the description DescribeFile gave, or what it threw.
struct DescribeOutcome {
    std::uint64_t ticket = 0; // Submit's ticket for the file
    std::filesystem::path path;
    std::optional<Description> description; // none when describing threw
    std::exception_ptr error;               // what it threw: a FileError when the file cannot be read

    // The description; rethrows what describing threw.
    Description Take() &&;
};

// Starts one of a pipeline's threads running body, as std::jthread's constructor does; throws
// std::system_error when the system refuses a thread.
using ThreadStarter = std::function<std::jthread(std::function<void(std::stop_token)> body)>;

struct PipelineSettings {
    unsigned threads = 0;  // worker threads; 0 for one per hardware thread
    std::size_t ahead = 0; // files described ahead of the one handed back next; 0 for 4 per thread
    // Files each thread reads at once, their checksums run in one loop; 0 for kDefaultInterleave.
    unsigned interleave = 0;
    // Files next in line, after those being read, whose first bytes are asked of the disk before a
    // worker reaches them (sys::PrefetchFile, on a thread of its own); none for kDefaultPrefetch, 0 to
    // ask nothing.
    std::optional<std::size_t> prefetch = std::nullopt;
    // Starts the threads; none for std::jthread. Tests refuse threads through it.
    ThreadStarter startThread = nullptr;
    // Called on the thread that reads, with no lock held, each time a chunk of a game file has been read:
    // the file's path and the chunk's number from 0. For tests that act while a file is being read.
    std::function<void(const std::filesystem::path& path, std::uint64_t chunk)> onChunk = nullptr;
};

// Two files a thread: two checksum chains in one loop run nearly twice as fast as one, and more gain
// little once the decoding beside them takes its share of the processor (docs/performance.md, Many files at
// once).
inline constexpr unsigned kDefaultInterleave = 2;

// On a dropped cache, a disk answers several requests at once faster than one after another, and the
// workers compute between their reads; asking for the files next in line keeps it busy (docs/performance.md,
// A cold cache). Warm, asking costs an open and a look at the cache per file on a thread that
// mostly sleeps.
inline constexpr std::size_t kDefaultPrefetch = 16;
// The bytes asked for per file: every byte of a well-formed park is within them, and a larger file is
// read on by the system's own read-ahead once its reading begins.
inline constexpr std::uint64_t kPrefetchBytes = std::uint64_t{4} << 20;

// In a folder whose files are all in the system's cache, opening each one to look costs more than it saves:
// after a run of files found there, only one in kProbeEvery is looked at until one is not.
class PrefetchProbe {
public:
    bool WorthAsking() noexcept { return cachedInARow_ < kCachedRun || ++passedOver_ % kProbeEvery == 0; }
    void Asked(bool wasCached) noexcept { cachedInARow_ = wasCached ? cachedInARow_ + 1 : 0; }

private:
    static constexpr std::size_t kCachedRun = 8;
    static constexpr std::size_t kProbeEvery = 8;
    std::size_t cachedInARow_ = 0;
    std::size_t passedOver_ = 0;
};

// Describes files on a pool of worker threads and hands the outcomes back in the order the files were
// submitted. At most `ahead` files past the next one to be handed back are read or held at once, and at
// most threads × interleave are being read, so memory stays bounded whatever the number of files queued:
// each file being read holds at most its head, its decoded contents and one chunk (PackedFileReader),
// buffers that each thread keeps from one file to the next (dropped when memory runs out). A thread of
// its own asks the disk for the first bytes of the files next in line, which costs the system's cache,
// not this memory. Submit and the taking (Next, TryNext) may be called from different threads.
//
// When the system refuses threads the pipeline works with those it got: without the prefetching one,
// and with fewer workers (ThreadShortfall says so). With none at all, Next and TryNext describe the next
// file on the calling thread, and Submit calls the ready callback for the consumer to come and take.
// A file that cannot be opened for want of file handles waits for one of the pipeline's to come free,
// or is opened once the thread's other files are done, before it is given up as a FileError.
class DescribePipeline {
public:
    explicit DescribePipeline(PipelineSettings settings = {});
    // Stops the work in flight at its next chunk and waits for the workers; once it has begun, the ready
    // callback is not called again, and one under way is waited for.
    ~DescribePipeline();
    DescribePipeline(const DescribePipeline&) = delete;
    DescribePipeline& operator=(const DescribePipeline&) = delete;

    // Queues a file; the ticket counts up by one from 0 over the pipeline's life, cancelled or not.
    std::uint64_t Submit(std::filesystem::path path, DescribeOptions options);

    // The next outcome in submission order, waiting for it; none when nothing submitted is left.
    std::optional<DescribeOutcome> Next();
    // The next outcome when it is ready, without waiting (but describing it here when there are no
    // workers).
    std::optional<DescribeOutcome> TryNext();

    // Drops every queued file and held outcome; a file being read stops at its next chunk of at most
    // 1 MiB and its outcome is dropped. Returns at once.
    void Cancel();

    // Files submitted and not yet handed back.
    std::size_t Pending() const;
    // Worker threads running, and asked for: fewer run when the system refused some.
    unsigned Threads() const noexcept { return static_cast<unsigned>(workers_.size()); }
    unsigned ThreadsAsked() const noexcept { return asked_; }
    // Empty when every worker asked for runs; else, for the user, what describing runs on ("Describing on
    // 3 of 32 threads: the system would start no more").
    std::string ThreadShortfall() const;
    // Files past the next one to be handed back that the pipeline reads or asks of the disk ahead: a
    // caller that submits at least this many ahead keeps it busy.
    std::size_t Reach() const noexcept { return ahead_ + prefetch_; }

    // Called on a worker thread, with no lock held, each time the outcome to be handed back next
    // becomes ready. Takes TryNext until it gives none: one call may stand for several outcomes. Set it
    // before the first Submit; it must not set another.
    void SetReadyCallback(std::function<void()> ready);

private:
    struct Job {
        std::uint64_t ticket;
        std::filesystem::path path;
        DescribeOptions options;
    };

    struct Slot;
    // A worker's own lists, taken before it starts, so that nothing but describing allocates on it.
    struct WorkerState;

    void Work(WorkerState& state, std::stop_token shutdown);
    // Opens a slot's file with the largest of the spare buffers; false when it is over already (no game
    // file) or waits for a file handle. Throws what opening throws.
    bool Open(Slot& slot, WorkerState& state, std::uint64_t handlesFreed);
    void Prefetch();
    void CallReady();
    void Shutdown() noexcept;
    const Job* NextToPrefetch() const noexcept;
    std::size_t Prefetched() const noexcept; // queued files already asked for
    bool PrefetchDue() const noexcept;
    bool CanTake() const noexcept;
    // Puts outcomes in their places; true when the one to be handed back next is among them.
    bool Hold(std::vector<DescribeOutcome>& outcomes) noexcept;
    bool FrontReady() const noexcept;
    // With no workers: describes the next file on the calling thread, unless it is ready.
    void DescribeHere(std::unique_lock<std::mutex>& lock);
    std::optional<DescribeOutcome> TakeReady(std::unique_lock<std::mutex>& lock);

    std::size_t ahead_;
    unsigned interleave_;
    std::size_t prefetch_;
    unsigned asked_ = 0;
    std::function<void(const std::filesystem::path&, std::uint64_t)> onChunk_;
    mutable std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable outcomeReady_;
    std::condition_variable prefetchWanted_;
    std::condition_variable handleFreed_;
    std::deque<Job> queue_; // in ticket order, not yet started
    // Outcomes of tickets nextOut_ to nextOut_ + ahead_ - 1, each at its ticket modulo ahead_: no file
    // past them is taken, so holding one never allocates.
    std::vector<std::optional<DescribeOutcome>> held_;
    std::uint64_t nextTicket_ = 0;
    std::uint64_t nextOut_ = 0;
    std::uint64_t prefetched_ = 0;   // every ticket below it has been asked for, taken or dropped
    std::uint64_t handlesFreed_ = 0; // files the workers have closed
    // Files the workers hold open, and the times memory was refused: a file refused memory while others
    // are open starts again once they close, and every worker gives its kept buffers back.
    std::atomic<unsigned> filesOpen_{0};
    std::atomic<std::uint64_t> memoryRefusals_{0};
    std::stop_source cancel_;     // replaced by each Cancel
    bool shuttingDown_ = false;   // set by the destructor, under the mutex
    std::mutex readyMutex_;       // held while the callback runs
    std::function<void()> ready_; // under readyMutex_
    ScanMemory hereMemory_;       // DescribeHere's buffers
    std::vector<WorkerState> states_;
    std::vector<std::jthread> workers_;
    std::jthread prefetcher_; // none when prefetch_ is 0
};

} // namespace lmp
