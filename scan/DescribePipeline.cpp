#include "scan/DescribePipeline.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "scan/DescribeFile.h"
#include "sys/InputFile.h"

namespace lmp {

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

DescribePipeline::DescribePipeline(PipelineSettings settings)
{
    unsigned threads = settings.threads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    ahead_ = settings.ahead != 0 ? settings.ahead : std::size_t{4} * threads;
    interleave_ = settings.interleave != 0 ? settings.interleave : kDefaultInterleave;
    prefetch_ = sys::kPrefetchFileWorks ? settings.prefetch.value_or(kDefaultPrefetch) : 0;
    workers_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        workers_.emplace_back([this](std::stop_token shutdown) { Work(shutdown); });
    if (prefetch_ != 0)
        prefetcher_ = std::jthread([this] { Prefetch(); });
}

DescribePipeline::~DescribePipeline()
{
    {
        const std::lock_guard lock(mutex_);
        cancel_.request_stop();
        queue_.clear();
        shuttingDown_ = true;
    }
    for (std::jthread& worker : workers_)
        worker.request_stop();
    workAvailable_.notify_all();
    prefetchWanted_.notify_all();
    workers_.clear();
    if (prefetcher_.joinable())
        prefetcher_.join();
}

std::uint64_t DescribePipeline::Submit(std::filesystem::path path, DescribeOptions options)
{
    std::uint64_t ticket = 0;
    bool due = false;
    {
        const std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
        queue_.push_back({ticket, std::move(path), std::move(options)});
        due = PrefetchDue();
    }
    workAvailable_.notify_one();
    if (due)
        prefetchWanted_.notify_one();
    return ticket;
}

std::optional<DescribeOutcome> DescribePipeline::TakeReady(std::unique_lock<std::mutex>& lock)
{
    if (held_.empty() || !held_.front())
        return std::nullopt;
    std::optional<DescribeOutcome> outcome = std::move(held_.front());
    held_.pop_front();
    ++nextOut_;
    lock.unlock();
    // The window of files that may be read ahead has moved on by one.
    workAvailable_.notify_all();
    return outcome;
}

std::optional<DescribeOutcome> DescribePipeline::Next()
{
    std::unique_lock lock(mutex_);
    outcomeReady_.wait(lock, [this] { return nextOut_ == nextTicket_ || (!held_.empty() && held_.front()); });
    return TakeReady(lock);
}

std::optional<DescribeOutcome> DescribePipeline::TryNext()
{
    std::unique_lock lock(mutex_);
    return TakeReady(lock);
}

void DescribePipeline::Cancel()
{
    const std::lock_guard lock(mutex_);
    cancel_.request_stop();
    cancel_ = std::stop_source();
    queue_.clear();
    held_.clear();
    nextOut_ = nextTicket_;
}

std::size_t DescribePipeline::Pending() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(nextTicket_ - nextOut_);
}

void DescribePipeline::SetReadyCallback(std::function<void()> ready)
{
    const std::lock_guard lock(mutex_);
    ready_ = std::move(ready);
}

// A file a worker reads, from its job on.
struct DescribePipeline::Slot {
    std::uint64_t ticket;
    std::filesystem::path path;
    DescribeOptions options;
    std::stop_token stop;
    std::optional<FileDescriber> file; // once opened
    bool reading = false;              // a chunk of it is being scanned
    bool over = false;                 // described, failed or stopped
};

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
    // In a folder whose files are all in the cache, opening each one to look cost more than it saved;
    // after a run of files found there, only one in kProbeEvery is looked at until one is not.
    constexpr std::size_t kCachedRun = 8;
    constexpr std::size_t kProbeEvery = 8;
    std::size_t cachedInARow = 0;
    std::size_t passedOver = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        prefetchWanted_.wait(lock, [this] { return shuttingDown_ || PrefetchDue(); });
        while (!shuttingDown_) {
            const Job* job = NextToPrefetch();
            if (job == nullptr)
                break;
            prefetched_ = job->ticket + 1;
            // Only game files are read; asking for another would cost the disk time the others need.
            if (FileTypeOfPath(job->path) == FileType::None)
                continue;
            if (cachedInARow >= kCachedRun && ++passedOver % kProbeEvery != 0)
                continue;
            const std::filesystem::path path = job->path;
            lock.unlock();
            const bool wasCached = sys::PrefetchFile(path, kPrefetchBytes);
            lock.lock();
            cachedInARow = wasCached ? cachedInARow + 1 : 0;
        }
        if (shuttingDown_)
            return;
    }
}

bool DescribePipeline::Hold(std::vector<DescribeOutcome>& outcomes)
{
    bool front = false;
    for (DescribeOutcome& outcome : outcomes) {
        // A cancelled file's outcome is dropped: Cancel moved nextOut_ past every ticket issued before it.
        if (outcome.ticket < nextOut_)
            continue;
        const std::size_t index = static_cast<std::size_t>(outcome.ticket - nextOut_);
        if (held_.size() <= index)
            held_.resize(index + 1);
        held_[index] = std::move(outcome);
        front = front || index == 0;
    }
    outcomes.clear();
    return front;
}

void DescribePipeline::Work(std::stop_token shutdown)
{
    std::vector<Slot> slots; // in the order taken
    std::vector<ScanLoop> loops;
    std::vector<ScanMemory> spare; // buffers of files described, for the next ones
    std::vector<DescribeOutcome> done;
    const auto finish = [&done](Slot& slot, std::optional<Description> description,
                                std::exception_ptr error) {
        done.push_back({slot.ticket, std::move(slot.path), std::move(description), std::move(error)});
        slot.over = true;
    };

    std::unique_lock lock(mutex_);
    for (;;) {
        if (Hold(done)) {
            const std::function<void()> ready = ready_;
            lock.unlock();
            outcomeReady_.notify_one();
            if (ready)
                ready();
            lock.lock();
        }
        // The flag under the mutex, not only the stop token, ends the wait: waiting on a token alone lost
        // the wake-up now and then with MinGW's threads, and the pipeline's owner waited for ever.
        if (slots.empty()) {
            workAvailable_.wait(lock, [this] { return shuttingDown_ || CanTake(); });
            if (shuttingDown_)
                return;
        }
        while (slots.size() < interleave_ && CanTake()) {
            Job& job = queue_.front();
            slots.push_back({job.ticket, std::move(job.path), std::move(job.options), cancel_.get_token(),
                             std::nullopt, false, false});
            queue_.pop_front();
            if (PrefetchDue())
                prefetchWanted_.notify_one();
        }
        lock.unlock();
        if (shutdown.stop_requested())
            return;

        // One chunk of each file, their loops run as one. A file whose stop was requested is dropped before
        // its next chunk, as DescribeFile stops.
        loops.clear();
        for (Slot& slot : slots) {
            slot.reading = false;
            if (slot.stop.stop_requested()) {
                slot.over = true;
                continue;
            }
            try {
                if (!slot.file) {
                    // The largest buffers go to every file: a track design's small ones given to a park
                    // would be grown anew, and the park's left waiting.
                    ScanMemory memory;
                    const auto largest =
                        std::max_element(spare.begin(), spare.end(), [](const auto& a, const auto& b) {
                            return a.head.Capacity() + a.decoded.Capacity() <
                                   b.head.Capacity() + b.decoded.Capacity();
                        });
                    if (largest != spare.end()) {
                        memory = std::move(*largest);
                        spare.erase(largest);
                    }
                    slot.file.emplace(
                        OpenFileDescriber(slot.path, std::move(slot.options), std::move(memory)));
                }
                if (std::optional<ScanLoop> loop = slot.file->BeginChunk()) {
                    loops.push_back(*loop);
                    slot.reading = true;
                } else {
                    finish(slot, std::move(*slot.file).Finish(&spare.emplace_back()), nullptr);
                }
            } catch (...) {
                finish(slot, std::nullopt, std::current_exception());
            }
        }
        RunScanLoops(loops);
        std::size_t next = 0;
        for (Slot& slot : slots) {
            if (slot.reading)
                slot.file->EndChunk(loops[next++]);
        }
        std::erase_if(slots, [](const Slot& slot) { return slot.over; });
        lock.lock();
    }
}

} // namespace lmp
