#include "scan/DescribeService.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <new>
#include <utility>

#include "scan/DescribeFile.h"
#include "scan/ResultCache.h"
#include "sys/FileStamp.h"
#include "sys/InputFile.h"

namespace lmp {

namespace {

std::jthread StartThread(std::function<void(std::stop_token)> body)
{
    return std::jthread(std::move(body));
}

} // namespace

ServiceShape ShapeFor(unsigned hardwareThreads) noexcept
{
    const auto most = static_cast<unsigned>(kServiceBufferBound / kBuffersPerFile);
    const unsigned threads = std::clamp(hardwareThreads, 1u, most);
    return {threads, std::clamp(most / threads, 1u, kDefaultInterleave)};
}

struct DescribeService::ClientState {
    explicit ClientState(DescribeOrder how) : order(how) {}

    const DescribeOrder order;
    // Under State::mutex.
    std::uint64_t nextTicket = 0;
    std::uint64_t nextOut = 0; // the next to hand back, for DescribeOrder::Submitted
    std::uint64_t floor = 0;   // tickets below it were cancelled
    std::map<std::uint64_t, DescribeOutcome> held;
    std::size_t pending = 0;
    std::stop_source cancel; // replaced by each Cancel
    bool closed = false;
    // Buffers of the files it describes on its own thread, when there are no workers.
    std::vector<ScanMemory> hereSpare;
    std::mutex readyMutex; // held while the callback runs
    std::function<void()> ready;

    bool CanTake() const noexcept
    {
        return !held.empty() && (order == DescribeOrder::AsReady || held.begin()->first == nextOut);
    }
};

struct DescribeService::State {
    struct Job {
        std::shared_ptr<ClientState> client;
        std::uint64_t ticket;
        std::filesystem::path path;
        DescribeOptions options;
        DescribeLane lane;
        std::stop_token stop;
        bool asked = false; // of the disk, by the prefetcher
    };

    // A file being read, from its job on.
    struct Slot {
        explicit Slot(Job&& taken) noexcept : job(std::move(taken)) {}

        Job job;
        std::optional<FileDescriber> file;
        std::optional<std::string> key; // in the cache, when the file's stamp was had
        std::uint64_t chunks = 0;
        bool reading = false;
        bool over = false;
    };

    struct Done {
        std::shared_ptr<ClientState> client;
        DescribeOutcome outcome;
    };

    State(unsigned files, std::size_t cacheBytes,
          std::function<void(const std::filesystem::path&, std::uint64_t)> chunkHook)
        : interleave(files), onChunk(std::move(chunkHook)), cache(cacheBytes)
    {
    }

    const unsigned interleave;
    const std::function<void(const std::filesystem::path&, std::uint64_t)> onChunk;
    ResultCache cache;
    std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable prefetchWanted;
    std::array<std::deque<Job>, kDescribeLanes> lanes; // each in submission order
    unsigned workers = 0;                              // running; 0 once the service is gone
    bool prefetching = false;                          // the prefetcher runs
    bool shuttingDown = false;

    bool HasWork() const noexcept
    {
        return std::any_of(lanes.begin(), lanes.end(), [](const auto& lane) { return !lane.empty(); });
    }

    // The first of the files next in line, across the lanes, not yet asked of the disk; and how many of
    // those next in line have been.
    std::pair<Job*, std::size_t> NextToPrefetch() noexcept
    {
        std::size_t seen = 0;
        std::size_t asked = 0;
        for (std::deque<Job>& lane : lanes) {
            for (Job& job : lane) {
                if (seen++ == kDefaultPrefetch)
                    return {nullptr, asked};
                if (!job.asked)
                    return {&job, asked};
                ++asked;
            }
        }
        return {nullptr, asked};
    }

    // Woken only once half of the files asked for have been taken, as the pipeline's prefetcher is.
    bool PrefetchDue() noexcept
    {
        const auto [next, asked] = NextToPrefetch();
        return next != nullptr && asked <= kDefaultPrefetch / 2;
    }

    // Asks the disk for the first bytes of the game files next in line, as DescribePipeline's prefetcher
    // does, skipping most of them while they are found in the system's cache.
    void Prefetch()
    {
        PrefetchProbe probe;
        std::unique_lock lock(mutex);
        for (;;) {
            prefetchWanted.wait(lock, [this] { return shuttingDown || PrefetchDue(); });
            while (!shuttingDown) {
                Job* job = NextToPrefetch().first;
                if (job == nullptr)
                    break;
                job->asked = true;
                try {
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
            if (shuttingDown)
                return;
        }
    }

    std::optional<Job> TakeJob()
    {
        for (std::deque<Job>& lane : lanes) {
            if (!lane.empty()) {
                Job job = std::move(lane.front());
                lane.pop_front();
                return job;
            }
        }
        return std::nullopt;
    }

    // Puts outcomes with their clients; the clients to tell go to ready.
    void Hand(std::vector<Done>& done, std::vector<std::shared_ptr<ClientState>>& ready)
    {
        for (Done& each : done) {
            ClientState& client = *each.client;
            const std::uint64_t ticket = each.outcome.ticket;
            if (client.closed || ticket < client.floor)
                continue;
            const bool could = client.CanTake();
            client.held.insert_or_assign(ticket, std::move(each.outcome));
            if (!could && client.CanTake() &&
                std::find(ready.begin(), ready.end(), each.client) == ready.end())
                ready.push_back(each.client);
        }
        done.clear();
    }

    static void CallReady(ClientState& client)
    {
        const std::lock_guard lock(client.readyMutex);
        if (client.ready)
            client.ready();
    }

    // Opens a slot's file; false when it is over already (no game file, or its description was in the
    // cache).
    bool Open(Slot& slot, std::vector<ScanMemory>& spare, std::vector<Done>& done)
    {
        Job& job = slot.job;
        if (FileTypeOfPath(job.path) == FileType::None) {
            Finish(slot, OpenFileDescriber(job.path, job.options).Finish(), nullptr, done);
            return false;
        }
        DescribeOptions options = job.options;
        options.withSeparator = false;
        std::error_code error;
        if (const std::optional<sys::FileStamp> stamp = sys::StampOfFile(job.path, error)) {
            slot.key = ResultKeyOf(job.path, options, *stamp);
            if (std::optional<Description> cached = cache.Find(*slot.key)) {
                Finish(slot, std::move(*cached), nullptr, done);
                return false;
            }
        }
        // The largest buffers go to every file, as the pipeline gives them.
        const auto largest = std::max_element(spare.begin(), spare.end(), [](const auto& a, const auto& b) {
            return a.Capacity() < b.Capacity();
        });
        ScanMemory fresh = largest == spare.end() ? PageScanMemory() : ScanMemory();
        slot.file.emplace(OpenFileDescriber(job.path, options, largest == spare.end() ? &fresh : &*largest));
        if (largest != spare.end())
            spare.erase(largest);
        return true;
    }

    void Finish(Slot& slot, std::optional<Description> description, std::exception_ptr error,
                std::vector<Done>& done)
    {
        if (description && slot.job.options.withSeparator)
            AddSeparator(*description);
        done.push_back(
            {std::move(slot.job.client),
             {slot.job.ticket, std::move(slot.job.path), std::move(description), std::move(error)}});
        slot.over = true;
    }

    // One chunk of each slot's file, their checksum loops run as one; the slots whose files are over go.
    void Advance(std::vector<Slot>& slots, std::vector<ScanLoop>& loops, std::vector<ScanMemory>& spare,
                 std::vector<Done>& done)
    {
        loops.clear();
        for (Slot& slot : slots) {
            slot.reading = false;
            try {
                if (slot.job.stop.stop_requested()) {
                    if (slot.file)
                        spare.push_back(std::move(*slot.file).TakeMemory());
                    slot.over = true;
                    continue;
                }
                if (!slot.file && !Open(slot, spare, done))
                    continue;
                if (std::optional<ScanLoop> loop = slot.file->BeginChunk()) {
                    loops.push_back(*loop);
                    slot.reading = true;
                    if (onChunk)
                        onChunk(slot.job.path, slot.chunks);
                    ++slot.chunks;
                } else {
                    Description description = std::move(*slot.file).Finish(&spare.emplace_back());
                    if (slot.key)
                        cache.Store(*slot.key, description);
                    Finish(slot, std::move(description), nullptr, done);
                }
            } catch (const std::bad_alloc&) {
                // The kept buffers go back to the system with this file's.
                spare.clear();
                slot.file.reset();
                Finish(slot, std::nullopt, DescribeFailure(slot.job.path), done);
            } catch (...) {
                if (slot.file)
                    spare.push_back(std::move(*slot.file).TakeMemory());
                Finish(slot, std::nullopt, std::current_exception(), done);
            }
        }
        RunScanLoops(loops);
        std::size_t next = 0;
        for (Slot& slot : slots) {
            if (slot.reading)
                slot.file->EndChunk(loops[next++]);
        }
        std::erase_if(slots, [](const Slot& slot) { return slot.over; });
    }

    void Work()
    {
        std::vector<Slot> slots;
        std::vector<ScanLoop> loops;
        std::vector<ScanMemory> spare;
        std::vector<Done> done;
        std::vector<std::shared_ptr<ClientState>> ready;
        slots.reserve(interleave);
        loops.reserve(interleave);
        std::unique_lock lock(mutex);
        for (;;) {
            Hand(done, ready);
            if (!ready.empty()) {
                lock.unlock();
                for (const std::shared_ptr<ClientState>& client : ready)
                    CallReady(*client);
                ready.clear();
                lock.lock();
            }
            if (slots.empty())
                workAvailable.wait(lock, [&] { return shuttingDown || HasWork(); });
            if (shuttingDown) {
                // Files not read whole go back to their lanes, for their clients to describe themselves.
                for (auto slot = slots.rbegin(); slot != slots.rend(); ++slot)
                    lanes[static_cast<std::size_t>(slot->job.lane)].push_front(std::move(slot->job));
                return;
            }
            while (slots.size() < interleave) {
                std::optional<Job> job = TakeJob();
                if (!job)
                    break;
                slots.emplace_back(std::move(*job));
                if (prefetching && PrefetchDue())
                    prefetchWanted.notify_one();
            }
            lock.unlock();
            Advance(slots, loops, spare, done);
            lock.lock();
        }
    }

    // With no workers: describes the client's next file on the calling thread, unless it has one to take.
    void DescribeHere(ClientState& client, std::unique_lock<std::mutex>& lock)
    {
        if (client.CanTake())
            return;
        // Its next file by ticket, whichever lane holds it.
        std::deque<Job>* from = nullptr;
        std::deque<Job>::iterator at;
        for (std::deque<Job>& lane : lanes) {
            const auto found = std::find_if(lane.begin(), lane.end(),
                                            [&](const Job& job) { return job.client.get() == &client; });
            if (found != lane.end() && (from == nullptr || found->ticket < at->ticket)) {
                from = &lane;
                at = found;
            }
        }
        if (from == nullptr)
            return;
        std::vector<Slot> slots;
        slots.emplace_back(std::move(*at));
        from->erase(at);
        lock.unlock();
        std::vector<ScanLoop> loops;
        std::vector<Done> done;
        while (!slots.empty())
            Advance(slots, loops, client.hereSpare, done);
        lock.lock();
        std::vector<std::shared_ptr<ClientState>> ready;
        Hand(done, ready);
    }
};

DescribeService::DescribeService(ServiceSettings settings)
{
    ServiceShape shape = ShapeFor(std::max(1u, std::thread::hardware_concurrency()));
    if (settings.threads != 0)
        shape = {settings.threads, ShapeFor(settings.threads).interleave};
    if (settings.interleave != 0)
        shape.interleave = settings.interleave;
    asked_ = shape.threads;
    state_ = std::make_shared<State>(shape.interleave, settings.cacheBytes, std::move(settings.onChunk));
    const ThreadStarter start = settings.startThread ? std::move(settings.startThread) : StartThread;
    workers_.reserve(asked_);
    for (unsigned i = 0; i < asked_; ++i) {
        try {
            workers_.push_back(start([state = state_.get()](std::stop_token) { state->Work(); }));
        } catch (...) {
            break;
        }
    }
    // Asking the disk ahead helps only the workers: with none, the prefetcher is not started either.
    if (!workers_.empty() && sys::kPrefetchFileWorks) {
        try {
            prefetcher_ = start([state = state_.get()](std::stop_token) { state->Prefetch(); });
        } catch (...) {
            // The files are read all the same, without asking ahead.
        }
    }
    const std::lock_guard lock(state_->mutex);
    state_->workers = Threads();
    state_->prefetching = prefetcher_.joinable();
}

DescribeService::~DescribeService()
{
    {
        const std::lock_guard lock(state_->mutex);
        state_->shuttingDown = true;
    }
    state_->workAvailable.notify_all();
    state_->prefetchWanted.notify_all();
    workers_.clear();
    if (prefetcher_.joinable())
        prefetcher_.join();
    const std::lock_guard lock(state_->mutex);
    state_->workers = 0;
}

unsigned DescribeService::Interleave() const noexcept
{
    return state_->interleave;
}

std::string DescribeService::ThreadShortfall() const
{
    if (Threads() == asked_)
        return {};
    if (Threads() == 0)
        return "Describing on the calling thread alone: the system would start none of the " +
               std::to_string(asked_) + " threads asked for";
    return "Describing on " + std::to_string(Threads()) + " of " + std::to_string(asked_) +
           " threads: the system would start no more";
}

DescribeService::Client::Client(DescribeService& service, DescribeOrder order)
    : state_(service.state_), client_(std::make_shared<ClientState>(order))
{
}

DescribeService::Client::~Client()
{
    Cancel();
    {
        const std::lock_guard lock(state_->mutex);
        client_->closed = true;
    }
    const std::lock_guard lock(client_->readyMutex);
    client_->ready = nullptr;
}

std::uint64_t DescribeService::Client::Submit(std::filesystem::path path, DescribeOptions options,
                                              DescribeLane lane)
{
    std::uint64_t ticket = 0;
    bool here = false;
    bool prefetch = false;
    {
        const std::lock_guard lock(state_->mutex);
        ticket = client_->nextTicket++;
        ++client_->pending;
        state_->lanes[static_cast<std::size_t>(lane)].push_back(
            {client_, ticket, std::move(path), std::move(options), lane, client_->cancel.get_token()});
        here = state_->workers == 0;
        prefetch = state_->prefetching && state_->PrefetchDue();
    }
    if (here)
        State::CallReady(*client_);
    else
        state_->workAvailable.notify_one();
    if (prefetch)
        state_->prefetchWanted.notify_one();
    return ticket;
}

std::optional<DescribeOutcome> DescribeService::Client::TryNext()
{
    std::unique_lock lock(state_->mutex);
    if (state_->workers == 0)
        state_->DescribeHere(*client_, lock);
    if (!client_->CanTake())
        return std::nullopt;
    auto first = client_->held.begin();
    DescribeOutcome outcome = std::move(first->second);
    client_->held.erase(first);
    if (client_->order == DescribeOrder::Submitted)
        client_->nextOut = outcome.ticket + 1;
    --client_->pending;
    return outcome;
}

void DescribeService::Client::Cancel()
{
    std::stop_source fresh;
    const std::lock_guard lock(state_->mutex);
    client_->cancel.request_stop();
    client_->cancel = std::move(fresh);
    client_->floor = client_->nextTicket;
    client_->nextOut = client_->nextTicket;
    client_->held.clear();
    client_->pending = 0;
    for (std::deque<State::Job>& lane : state_->lanes)
        std::erase_if(lane, [this](const State::Job& job) { return job.client == client_; });
}

std::size_t DescribeService::Client::Pending() const
{
    const std::lock_guard lock(state_->mutex);
    return client_->pending;
}

void DescribeService::Client::SetReadyCallback(std::function<void()> ready)
{
    const std::lock_guard lock(client_->readyMutex);
    client_->ready = std::move(ready);
}

} // namespace lmp
