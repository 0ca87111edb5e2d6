#include "scan/DescribePipeline.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <new>
#include <utility>

#include "scan/DescribeFile.h"
#include "sys/InputFile.h"
#include "sys/SystemError.h"

namespace lmp {

namespace {

// A thread whose file cannot be opened for want of handles, and that holds none itself, waits this long at
// a time for another thread to close one; it gives up once no handle of the pipeline's has come free for
// kHandleGiveUp: then they are held elsewhere.
constexpr std::chrono::milliseconds kHandleRetry(20);
constexpr std::chrono::seconds kHandleGiveUp(2);

std::jthread StartThread(std::function<void(std::stop_token)> body)
{
    return std::jthread(std::move(body));
}

} // namespace

void AddSeparator(Description& description)
{
    // Only a described file gets a separator: neither one of an edition left out (no lines) nor one
    // whose edition could not be determined.
    if (description.edition == kNoEdition || description.lines.empty())
        return;
    // Built anew rather than inserted at the front: GCC 12 warns of a null dereference inside
    // vector::insert of a string at -O2.
    Lines lines;
    lines.reserve(description.lines.size() + 1);
    lines.emplace_back(kSeparatorLine);
    std::move(description.lines.begin(), description.lines.end(), std::back_inserter(lines));
    description.lines = std::move(lines);
}

Description DescribeOutcome::Take() &&
{
    if (error)
        std::rethrow_exception(error);
    return std::move(*description);
}

// A file a worker reads, from its job on.
struct DescribePipeline::Slot {
    Slot(Job&& job, std::stop_token stopToken) noexcept
        : ticket(job.ticket), path(std::move(job.path)), options(std::move(job.options)),
          stop(std::move(stopToken))
    {
    }

    std::uint64_t ticket;
    std::filesystem::path path;
    DescribeOptions options;
    std::stop_token stop;
    std::optional<FileDescriber> file; // once opened
    std::uint64_t chunks = 0;          // read so far
    // Since when it has waited for a file handle, none of the pipeline's coming free meanwhile.
    std::optional<std::chrono::steady_clock::time_point> waitingSince;
    std::uint64_t freedSeen = 0; // handles freed when it last tried
    // Memory was refused while other files were open: it starts again once one of them has closed, or
    // after a pause in which the other workers give back the buffers they keep.
    bool waitingForMemory = false;
    bool refusedAlone = false; // memory was refused once with no other file open
    bool reading = false;      // a chunk of it is being scanned
    bool over = false;         // described, failed or stopped
};

struct DescribePipeline::WorkerState {
    explicit WorkerState(unsigned interleave)
    {
        slots.reserve(interleave);
        loops.reserve(interleave);
        spare.reserve(interleave);
        done.reserve(interleave);
    }

    std::vector<Slot> slots; // in the order taken
    std::vector<ScanLoop> loops;
    // Buffers of files done, for the next ones: no more than the files read at once, as a file takes
    // one set and gives it back.
    std::vector<ScanMemory> spare;
    std::vector<DescribeOutcome> done;
    std::uint64_t refusalsSeen = 0; // memoryRefusals_ when spare was last checked
};

DescribePipeline::DescribePipeline(PipelineSettings settings)
    : onChunk_(std::move(settings.onChunk)), hereMemory_(PageScanMemory())
{
    unsigned threads = settings.threads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    asked_ = threads;
    ahead_ = settings.ahead != 0 ? settings.ahead : std::size_t{4} * threads;
    interleave_ = settings.interleave != 0 ? settings.interleave : kDefaultInterleave;
    prefetch_ = sys::kPrefetchFileWorks ? settings.prefetch.value_or(kDefaultPrefetch) : 0;
    held_.resize(ahead_);
    states_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        states_.emplace_back(interleave_);
    workers_.reserve(threads);
    const ThreadStarter start = settings.startThread ? std::move(settings.startThread) : StartThread;

    // Nothing throws once a thread runs: a thread the system refuses leaves the pipeline with those it
    // got. The prefetching thread comes first, as the workers read prefetch_.
    if (prefetch_ != 0) {
        try {
            prefetcher_ = start([this](std::stop_token) { Prefetch(); });
        } catch (...) {
            prefetch_ = 0;
        }
    }
    for (WorkerState& state : states_) {
        try {
            workers_.push_back(start([this, &state](std::stop_token shutdown) { Work(state, shutdown); }));
        } catch (...) {
            break;
        }
    }
}

DescribePipeline::~DescribePipeline()
{
    Shutdown();
}

void DescribePipeline::Shutdown() noexcept
{
    {
        const std::lock_guard lock(mutex_);
        cancel_.request_stop();
        queue_.clear();
        shuttingDown_ = true;
    }
    {
        // From here on no callback starts; one under way has ended.
        const std::lock_guard lock(readyMutex_);
        ready_ = nullptr;
    }
    for (std::jthread& worker : workers_)
        worker.request_stop();
    workAvailable_.notify_all();
    prefetchWanted_.notify_all();
    handleFreed_.notify_all();
    workers_.clear();
    if (prefetcher_.joinable())
        prefetcher_.join();
}

std::string DescribePipeline::ThreadShortfall() const
{
    if (Threads() == asked_)
        return {};
    if (Threads() == 0)
        return "Describing on the calling thread alone: the system would start none of the " +
               std::to_string(asked_) + " threads asked for";
    return "Describing on " + std::to_string(Threads()) + " of " + std::to_string(asked_) +
           " threads: the system would start no more";
}

std::uint64_t DescribePipeline::Submit(std::filesystem::path path, DescribeOptions options)
{
    std::uint64_t ticket = 0;
    bool wake = false;
    bool due = false;
    {
        const std::lock_guard lock(mutex_);
        ticket = nextTicket_;
        queue_.push_back({ticket, std::move(path), std::move(options)});
        ++nextTicket_;
        wake = CanTake();
        due = PrefetchDue();
    }
    if (wake)
        workAvailable_.notify_one();
    if (due)
        prefetchWanted_.notify_one();
    if (workers_.empty())
        CallReady();
    return ticket;
}

void DescribePipeline::CallReady()
{
    const std::lock_guard lock(readyMutex_);
    if (ready_)
        ready_();
}

bool DescribePipeline::FrontReady() const noexcept
{
    return nextOut_ < nextTicket_ && held_[nextOut_ % ahead_].has_value();
}

std::optional<DescribeOutcome> DescribePipeline::TakeReady(std::unique_lock<std::mutex>& lock)
{
    if (!FrontReady())
        return std::nullopt;
    std::optional<DescribeOutcome>& front = held_[nextOut_ % ahead_];
    std::optional<DescribeOutcome> outcome = std::move(front);
    front.reset();
    ++nextOut_;
    // The window of files that may be read ahead has moved on by one: one worker can take it.
    const bool wake = CanTake();
    lock.unlock();
    if (wake)
        workAvailable_.notify_one();
    return outcome;
}

std::optional<DescribeOutcome> DescribePipeline::Next()
{
    std::unique_lock lock(mutex_);
    if (workers_.empty())
        DescribeHere(lock);
    outcomeReady_.wait(lock, [this] { return nextOut_ == nextTicket_ || FrontReady(); });
    return TakeReady(lock);
}

std::optional<DescribeOutcome> DescribePipeline::TryNext()
{
    std::unique_lock lock(mutex_);
    if (workers_.empty())
        DescribeHere(lock);
    return TakeReady(lock);
}

void DescribePipeline::DescribeHere(std::unique_lock<std::mutex>& lock)
{
    if (FrontReady() || queue_.empty())
        return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    const std::stop_token stop = cancel_.get_token();
    lock.unlock();
    std::optional<Description> description;
    std::exception_ptr error;
    try {
        if (FileTypeOfPath(job.path) == FileType::None) {
            description = OpenFileDescriber(job.path, job.options).Finish();
        } else {
            FileDescriber file = OpenFileDescriber(job.path, job.options, &hereMemory_);
            try {
                for (std::uint64_t chunk = 0; !stop.stop_requested() && file.ReadChunk(); ++chunk) {
                    if (onChunk_)
                        onChunk_(job.path, chunk);
                }
            } catch (...) {
                hereMemory_ = std::move(file).TakeMemory();
                throw;
            }
            if (stop.stop_requested())
                hereMemory_ = std::move(file).TakeMemory();
            else
                description = std::move(file).Finish(&hereMemory_);
        }
    } catch (const std::bad_alloc&) {
        hereMemory_ = PageScanMemory();
        error = DescribeFailure(job.path);
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    // A file stopped half way, or described after a Cancel, is dropped.
    if ((description || error) && job.ticket >= nextOut_)
        held_[job.ticket % ahead_] =
            DescribeOutcome{job.ticket, std::move(job.path), std::move(description), error};
}

void DescribePipeline::Cancel()
{
    std::stop_source fresh;
    const std::lock_guard lock(mutex_);
    cancel_.request_stop();
    cancel_ = std::move(fresh);
    queue_.clear();
    for (std::optional<DescribeOutcome>& outcome : held_)
        outcome.reset();
    nextOut_ = nextTicket_;
}

std::size_t DescribePipeline::Pending() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(nextTicket_ - nextOut_);
}

void DescribePipeline::SetReadyCallback(std::function<void()> ready)
{
    const std::lock_guard lock(readyMutex_);
    ready_ = std::move(ready);
}

bool DescribePipeline::CanTake() const noexcept
{
    return !queue_.empty() && queue_.front().ticket < nextOut_ + ahead_;
}

const DescribePipeline::Job* DescribePipeline::NextToPrefetch() const noexcept
{
    const std::size_t asked = Prefetched();
    return asked < std::min(queue_.size(), prefetch_) ? &queue_[asked] : nullptr;
}

std::size_t DescribePipeline::Prefetched() const noexcept
{
    // The queue is in ticket order, so the files already asked for are the first ones.
    if (queue_.empty() || prefetched_ <= queue_.front().ticket)
        return 0;
    return std::min(queue_.size(), static_cast<std::size_t>(prefetched_ - queue_.front().ticket));
}

bool DescribePipeline::PrefetchDue() const noexcept
{
    // Woken only once half of the files asked for have been taken, and then asking for a batch: waking it
    // for every file taken cost more than the asking itself when everything was in the cache.
    return prefetch_ != 0 && Prefetched() <= prefetch_ / 2 && NextToPrefetch() != nullptr;
}

void DescribePipeline::Prefetch()
{
    PrefetchProbe probe;
    std::unique_lock lock(mutex_);
    for (;;) {
        prefetchWanted_.wait(lock, [this] { return shuttingDown_ || PrefetchDue(); });
        while (!shuttingDown_) {
            const Job* job = NextToPrefetch();
            if (job == nullptr)
                break;
            prefetched_ = job->ticket + 1;
            try {
                // Only game files are read; asking for another would cost the disk time the others need.
                if (FileTypeOfPath(job->path) == FileType::None)
                    continue;
                if (!probe.WorthAsking())
                    continue;
                const std::filesystem::path path = job->path;
                lock.unlock();
                const bool wasCached = sys::PrefetchFile(path, kPrefetchBytes);
                lock.lock();
                probe.Asked(wasCached);
            } catch (const std::bad_alloc&) {
                // Asking ahead is only a help: the file is read all the same.
                if (!lock.owns_lock())
                    lock.lock();
            }
        }
        if (shuttingDown_)
            return;
    }
}

bool DescribePipeline::Hold(std::vector<DescribeOutcome>& outcomes) noexcept
{
    bool front = false;
    for (DescribeOutcome& outcome : outcomes) {
        // A cancelled file's outcome is dropped: Cancel moved nextOut_ past every ticket issued before it.
        const std::uint64_t ticket = outcome.ticket;
        if (ticket < nextOut_)
            continue;
        held_[ticket % ahead_] = std::move(outcome);
        front = front || ticket == nextOut_;
    }
    outcomes.clear();
    return front;
}

bool DescribePipeline::Open(Slot& slot, WorkerState& state, std::uint64_t handlesFreed)
{
    if (FileTypeOfPath(slot.path) == FileType::None) {
        // Described by its name alone: neither buffers nor a handle.
        Description description = OpenFileDescriber(slot.path, slot.options).Finish();
        state.done.push_back({slot.ticket, std::move(slot.path), std::move(description), nullptr});
        slot.over = true;
        return false;
    }
    // The largest buffers go to every file: a track design's small ones given to a park would be grown
    // anew, and the park's left waiting.
    std::vector<ScanMemory>& spare = state.spare;
    const auto largest = std::max_element(
        spare.begin(), spare.end(), [](const auto& a, const auto& b) { return a.Capacity() < b.Capacity(); });
    ScanMemory fresh = largest == spare.end() ? PageScanMemory() : ScanMemory();
    try {
        slot.file.emplace(
            OpenFileDescriber(slot.path, slot.options, largest == spare.end() ? &fresh : &*largest));
    } catch (const FileError& error) {
        if (!sys::IsOutOfHandles(error.Code()))
            throw;
        // Tried again once a handle has come free: this thread's own other files, or another thread's.
        const auto now = std::chrono::steady_clock::now();
        if (!slot.waitingSince || handlesFreed != slot.freedSeen)
            slot.waitingSince = now;
        slot.freedSeen = handlesFreed;
        if (now - *slot.waitingSince >= kHandleGiveUp)
            throw;
        return false;
    }
    slot.waitingSince.reset();
    slot.waitingForMemory = false;
    filesOpen_.fetch_add(1);
    if (largest != spare.end())
        spare.erase(largest);
    return true;
}

void DescribePipeline::Work(WorkerState& state, std::stop_token shutdown)
{
    std::vector<Slot>& slots = state.slots;
    std::vector<ScanLoop>& loops = state.loops;
    std::vector<ScanMemory>& spare = state.spare;
    std::vector<DescribeOutcome>& done = state.done;
    const auto finish = [&done](Slot& slot, std::optional<Description> description,
                                std::exception_ptr error) {
        done.push_back({slot.ticket, std::move(slot.path), std::move(description), std::move(error)});
        slot.over = true;
    };

    std::size_t closed = 0; // files closed since the last look
    std::unique_lock lock(mutex_);
    for (;;) {
        if (Hold(done)) {
            lock.unlock();
            outcomeReady_.notify_one();
            CallReady();
            lock.lock();
        }
        if (closed > 0) {
            handlesFreed_ += closed;
            closed = 0;
            handleFreed_.notify_all();
        }
        // The flag under the mutex, not only the stop token, ends the wait: waiting on a token alone lost
        // the wake-up now and then with MinGW's threads, and the pipeline's owner waited for ever.
        if (slots.empty()) {
            workAvailable_.wait(lock, [&] {
                return shuttingDown_ || CanTake() || memoryRefusals_.load() != state.refusalsSeen;
            });
            if (shuttingDown_)
                return;
        }
        // Memory was refused somewhere: the buffers kept for later files go back to the system.
        if (const std::uint64_t refusals = memoryRefusals_.load(); refusals != state.refusalsSeen) {
            state.refusalsSeen = refusals;
            spare.clear();
        }
        while (slots.size() < interleave_ && CanTake()) {
            slots.emplace_back(std::move(queue_.front()), cancel_.get_token());
            queue_.pop_front();
            if (PrefetchDue())
                prefetchWanted_.notify_one();
        }
        // Every file of this thread waits for a handle: another thread has to close one first.
        if (std::none_of(slots.begin(), slots.end(),
                         [](const Slot& slot) { return slot.file.has_value(); }) &&
            std::any_of(slots.begin(), slots.end(), [](const Slot& slot) {
                return slot.waitingSince.has_value() || slot.waitingForMemory;
            })) {
            const std::uint64_t seen = handlesFreed_;
            handleFreed_.wait_for(lock, kHandleRetry, [&] { return shuttingDown_ || handlesFreed_ != seen; });
            if (shuttingDown_)
                return;
        }
        const std::uint64_t handlesFreed = handlesFreed_;
        lock.unlock();
        if (shutdown.stop_requested())
            return;

        // One chunk of each file, their loops run as one. A file whose stop was requested is dropped before
        // its next chunk, as DescribeFile stops.
        loops.clear();
        for (Slot& slot : slots) {
            slot.reading = false;
            try {
                if (slot.stop.stop_requested()) {
                    if (slot.file)
                        spare.push_back(std::move(*slot.file).TakeMemory());
                    slot.over = true;
                    continue;
                }
                if (!slot.file && !Open(slot, state, handlesFreed))
                    continue;
                if (std::optional<ScanLoop> loop = slot.file->BeginChunk()) {
                    loops.push_back(*loop);
                    slot.reading = true;
                    if (onChunk_)
                        onChunk_(slot.path, slot.chunks);
                    ++slot.chunks;
                } else {
                    finish(slot, std::move(*slot.file).Finish(&spare.emplace_back()), nullptr);
                }
            } catch (const std::bad_alloc&) {
                // The buffers kept for later files go back to the system with this file's, and every
                // other worker's follow. While other files are open, this one starts again once one of
                // them has closed; refused with none open, it cannot be described.
                spare.clear();
                if (slot.file) {
                    slot.file.reset();
                    filesOpen_.fetch_sub(1);
                    ++closed;
                }
                state.refusalsSeen = memoryRefusals_.fetch_add(1) + 1;
                slot.chunks = 0;
                const bool alone = filesOpen_.load() == 0;
                if (alone && std::exchange(slot.refusedAlone, true)) {
                    slot.waitingForMemory = false;
                    finish(slot, std::nullopt, DescribeFailure(slot.path));
                } else {
                    slot.waitingForMemory = true;
                }
                workAvailable_.notify_all();
            } catch (...) {
                if (slot.file)
                    spare.push_back(std::move(*slot.file).TakeMemory());
                finish(slot, std::nullopt, std::current_exception());
            }
        }
        RunScanLoops(loops);
        std::size_t next = 0;
        for (Slot& slot : slots) {
            if (slot.reading)
                slot.file->EndChunk(loops[next++]);
        }
        for (const Slot& slot : slots) {
            if (slot.over && slot.file) {
                ++closed;
                filesOpen_.fetch_sub(1);
            }
        }
        std::erase_if(slots, [](const Slot& slot) { return slot.over; });
        lock.lock();
    }
}

} // namespace lmp
