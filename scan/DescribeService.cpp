#include "scan/DescribeService.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <list>
#include <map>
#include <new>
#include <unordered_map>
#include <utility>

#include "scan/DescribeFile.h"
#include "scan/DescriptionCache.h"
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
    std::map<std::uint64_t, DescribeOutcome> held;
    // Its tickets queued or being read, with the read that serves each.
    std::map<std::uint64_t, std::shared_ptr<Read>> reads;
    std::size_t pending = 0;
    bool closed = false;
    // Buffers of the files it describes on its own thread, when there are no workers.
    std::vector<ScanMemory> hereSpare;
    std::mutex readyMutex; // held while the callback runs
    std::function<void()> ready;
    std::shared_ptr<DescriptionCache> disk; // under State::mutex

    bool CanTake() const noexcept
    {
        return !held.empty() && (order == DescribeOrder::AsReady || held.begin()->first == nextOut);
    }
};

// One client's wish for a file.
struct DescribeService::Request {
    std::shared_ptr<ClientState> client;
    std::uint64_t ticket;
    DescribeLane lane;
    bool withSeparator;
    // Joined once the file was being read: its place among those that did, from 1; 0 otherwise.
    unsigned late = 0;
};

// A file to read once for every request of it that came while it was queued or being read: same path,
// same options (the separator aside: each request puts its own).
struct DescribeService::Read {
    Read(std::filesystem::path file, DescribeOptions how, std::string joinKey)
        : path(std::move(file)), options(std::move(how)), key(std::move(joinKey))
    {
    }

    const std::filesystem::path path;
    const DescribeOptions options; // without the separator
    const std::string key;         // in State::joinable
    // The file's stamp as its submitter took it just before, so that it is not examined again; none to
    // examine it when it is opened. Set before the read is queued, as is disk.
    std::optional<sys::FileStamp> stamp;
    std::shared_ptr<DescriptionCache> disk; // looked up before the file is read, and told its facts
    // Under State::mutex: what the cache on disk said of the file, once asked (in a batch, ahead).
    bool looked = false;
    std::optional<DescriptionFacts> known;     // its entry, for the file as it was looked up
    std::optional<sys::FileStamp> lookedStamp; // the stamp it was looked up with, when it was found or absent
    // Under State::mutex.
    DescribeLane lane = DescribeLane::Folder; // the most urgent of its requests'
    std::vector<Request> requests;
    std::list<std::shared_ptr<Read>>::iterator at; // in its lane, while queued
    bool queued = false;
    bool asked = false; // of the disk, by the prefetcher
    // Set under State::mutex, looked at by the thread reading it.
    std::atomic<unsigned> lateJoins{0};
    std::stop_source stop; // once no request of it is left

    DescribeLane MostUrgent() const noexcept
    {
        DescribeLane most = DescribeLane::Folder;
        for (const Request& request : requests)
            most = std::min(most, request.lane);
        return most;
    }
};

struct DescribeService::State {
    using ReadPtr = std::shared_ptr<Read>;

    // A file being read, from its job on.
    struct Slot {
        explicit Slot(ReadPtr taken) noexcept : read(std::move(taken)) {}

        ReadPtr read;
        std::optional<FileDescriber> file;
        std::optional<sys::FileStamp> stamp; // when it was had
        std::optional<std::string> key;      // in the cache, with the stamp
        std::uint64_t chunks = 0;
        bool reading = false;
        bool over = false;
        bool keepFacts = false;                // the cache on disk has no entry for the file as it is
        std::optional<DescriptionFacts> known; // the cache on disk's entry for it
    };

    static constexpr std::size_t kStoreBatch = 256;
    static constexpr std::size_t kLookUpBatch = 128;
    std::mutex storeMutex; // over toStore and storeIn
    std::vector<CacheEntry> toStore;
    std::shared_ptr<DescriptionCache> storeIn;
    std::atomic<bool> factsWaiting{false}; // toStore holds facts

    struct Done {
        ReadPtr read;
        std::optional<Description> description;
        std::exception_ptr error;
        unsigned lateServed = 0; // the requests that joined late up to it take this outcome
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
    std::array<std::list<ReadPtr>, kDescribeLanes> lanes; // each in the order the files came into it
    std::unordered_map<std::string, ReadPtr> joinable;    // queued or being read, by Read::key
    unsigned workers = 0;                                 // running; 0 once the service is gone
    bool prefetching = false;                             // the prefetcher runs
    bool shuttingDown = false;

    bool HasWork() const noexcept
    {
        return std::any_of(lanes.begin(), lanes.end(), [](const auto& lane) { return !lane.empty(); });
    }

    void Queue(const ReadPtr& read, bool first)
    {
        std::list<ReadPtr>& lane = lanes[static_cast<std::size_t>(read->lane)];
        read->at = lane.insert(first ? lane.begin() : lane.end(), read);
        read->queued = true;
    }

    // A queued file moved to another lane: behind the files there when more urgent than before, ahead of
    // them when less, so that a file leaving the screen is still the next of the folder's.
    void Relane(Read& read, DescribeLane to) noexcept
    {
        if (read.queued && to != read.lane) {
            std::list<ReadPtr>& into = lanes[static_cast<std::size_t>(to)];
            into.splice(to < read.lane ? into.end() : into.begin(),
                        lanes[static_cast<std::size_t>(read.lane)], read.at);
        }
        read.lane = to;
    }

    // A request leaves its read: a read left with none is dropped from its lane, or stops at its next chunk.
    void Drop(const ReadPtr& read, const ClientState& client, std::uint64_t ticket) noexcept
    {
        std::erase_if(read->requests, [&](const Request& request) {
            return request.client.get() == &client && request.ticket == ticket;
        });
        if (!read->requests.empty()) {
            Relane(*read, read->MostUrgent());
            return;
        }
        Unjoin(read);
        if (read->queued) {
            lanes[static_cast<std::size_t>(read->lane)].erase(read->at);
            read->queued = false;
        } else {
            read->stop.request_stop();
        }
    }

    void Unjoin(const ReadPtr& read) noexcept
    {
        const auto found = joinable.find(read->key);
        if (found != joinable.end() && found->second == read)
            joinable.erase(found);
    }

    // The first of the files next in line, across the lanes, not yet asked of the disk; and how many of
    // those next in line have been.
    std::pair<Read*, std::size_t> NextToPrefetch() noexcept
    {
        std::size_t seen = 0;
        std::size_t asked = 0;
        for (std::list<ReadPtr>& lane : lanes) {
            for (ReadPtr& read : lane) {
                if (seen++ == kDefaultPrefetch)
                    return {nullptr, asked};
                if (!read->asked)
                    return {read.get(), asked};
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
                Read* read = NextToPrefetch().first;
                if (read == nullptr)
                    break;
                read->asked = true;
                try {
                    if (FileTypeOfPath(read->path) == FileType::None)
                        continue;
                    if (!probe.WorthAsking())
                        continue;
                    const std::filesystem::path path = read->path;
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

    ReadPtr TakeRead()
    {
        for (std::list<ReadPtr>& lane : lanes) {
            if (!lane.empty()) {
                ReadPtr read = std::move(lane.front());
                lane.pop_front();
                read->queued = false;
                return read;
            }
        }
        return nullptr;
    }

    // Puts outcomes with their clients; the clients to tell go to ready. The requests that joined a read
    // after its file's stamp was last seen are queued again: the file may have changed before they came.
    void Hand(std::vector<Done>& done, std::vector<std::shared_ptr<ClientState>>& ready)
    {
        for (Done& each : done) {
            Read& read = *each.read;
            Unjoin(each.read);
            std::vector<Request> again;
            for (std::size_t i = 0; i < read.requests.size(); ++i) {
                Request& request = read.requests[i];
                if (request.late > each.lateServed) {
                    again.push_back(std::move(request));
                    continue;
                }
                ClientState& client = *request.client;
                client.reads.erase(request.ticket);
                if (client.closed)
                    continue;
                DescribeOutcome outcome{request.ticket, read.path, std::nullopt, each.error};
                try {
                    if (each.description) {
                        outcome.description =
                            i + 1 == read.requests.size() ? std::move(each.description) : each.description;
                        if (request.withSeparator)
                            AddSeparator(*outcome.description);
                    }
                } catch (const std::bad_alloc&) {
                    outcome.description.reset();
                    outcome.error = DescribeFailure(read.path);
                }
                const bool could = client.CanTake();
                client.held.insert_or_assign(request.ticket, std::move(outcome));
                if (!could && client.CanTake() &&
                    std::find(ready.begin(), ready.end(), request.client) == ready.end())
                    ready.push_back(request.client);
            }
            read.requests.clear();
            if (!again.empty())
                Requeue(read, std::move(again), ready);
        }
        done.clear();
    }

    void Requeue(const Read& old, std::vector<Request> requests,
                 std::vector<std::shared_ptr<ClientState>>& ready)
    {
        auto read = std::make_shared<Read>(old.path, old.options, old.key);
        for (Request& request : requests) {
            request.late = 0;
            request.client->reads.insert_or_assign(request.ticket, read);
            if (workers == 0 && std::find(ready.begin(), ready.end(), request.client) == ready.end())
                ready.push_back(request.client); // to come and describe it
        }
        read->requests = std::move(requests);
        read->lane = read->MostUrgent();
        Queue(read, true);
        joinable.insert_or_assign(read->key, read);
        workAvailable.notify_one();
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
        const Read& read = *slot.read;
        if (FileTypeOfPath(read.path) == FileType::None) {
            // Its lines follow from its name alone: whoever joined takes them.
            Finish(slot, OpenFileDescriber(read.path, read.options).Finish(), nullptr, done, true);
            return false;
        }
        if (slot.known) {
            Finish(slot, DescribeFromFacts(read.path, *slot.known, read.options), nullptr, done);
            return false;
        }
        std::error_code error;
        if (!slot.stamp)
            slot.stamp = read.stamp ? read.stamp : sys::StampOfFile(read.path, error);
        if (slot.stamp) {
            slot.key = ResultKeyOf(read.path, read.options, *slot.stamp);
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
        slot.file.emplace(
            OpenFileDescriber(read.path, read.options, largest == spare.end() ? &fresh : &*largest));
        if (largest != spare.end())
            spare.erase(largest);
        return true;
    }

    // The outcome of a slot's file. Requests that joined while it was read take it when the file's stamp
    // is still the one it was read under.
    void Finish(Slot& slot, std::optional<Description> description, std::exception_ptr error,
                std::vector<Done>& done, bool byName = false)
    {
        const unsigned late = slot.read->lateJoins.load();
        unsigned served = late;
        if (late != 0 && !byName) {
            std::error_code ignored;
            const std::optional<sys::FileStamp> now = sys::StampOfFile(slot.read->path, ignored);
            if (!slot.stamp || now != slot.stamp)
                served = 0;
        }
        done.push_back({std::move(slot.read), std::move(description), std::move(error), served});
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
                if (slot.read->stop.stop_requested()) {
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
                        onChunk(slot.read->path, slot.chunks);
                    ++slot.chunks;
                } else {
                    Description description = std::move(*slot.file).Finish(&spare.emplace_back());
                    if (slot.key)
                        cache.Store(*slot.key, description);
                    if (slot.keepFacts)
                        KeepFacts(*slot.read, *slot.stamp, description);
                    Finish(slot, std::move(description), nullptr, done);
                }
            } catch (const std::bad_alloc&) {
                // The kept buffers go back to the system with this file's.
                spare.clear();
                slot.file.reset();
                Finish(slot, std::nullopt, DescribeFailure(slot.read->path), done);
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

    // Asks the cache on disk about the file taken and the files next in line for the same cache, in one
    // batch: one transaction instead of one for each file. Called and returns with the lock held.
    void LookUp(const ReadPtr& taken, std::unique_lock<std::mutex>& lock)
    {
        std::vector<ReadPtr> batch{taken};
        for (std::list<ReadPtr>& lane : lanes) {
            for (const ReadPtr& read : lane) {
                if (batch.size() >= kLookUpBatch)
                    break;
                if (read->disk == taken->disk && !read->looked)
                    batch.push_back(read);
            }
        }
        for (const ReadPtr& read : batch)
            read->looked = true;
        const std::shared_ptr<DescriptionCache> disk = taken->disk;
        lock.unlock();
        std::vector<std::filesystem::path> paths;
        std::vector<sys::FileStamp> stamps;
        std::vector<std::size_t> asked; // into batch
        std::vector<CacheLookup> answers;
        try {
            for (std::size_t i = 0; i < batch.size(); ++i) {
                std::error_code error;
                const std::optional<sys::FileStamp> stamp =
                    batch[i]->stamp ? batch[i]->stamp : sys::StampOfFile(batch[i]->path, error);
                if (!stamp || FileTypeOfPath(batch[i]->path) == FileType::None)
                    continue; // describing it says why it cannot be examined; other types are never kept
                paths.push_back(batch[i]->path);
                stamps.push_back(*stamp);
                asked.push_back(i);
            }
            if (disk->InUse())
                answers = disk->Lookup(paths, stamps);
        } catch (const std::bad_alloc&) {
            answers.clear(); // the files are read all the same
        }
        lock.lock();
        for (std::size_t i = 0; i < answers.size() && i < asked.size(); ++i) {
            Read& read = *batch[asked[i]];
            if (answers[i].answer == CacheAnswer::NotCached)
                continue;
            read.lookedStamp = answers[i].stamp;
            if (answers[i].answer == CacheAnswer::Found)
                read.known = std::move(answers[i].facts);
        }
    }

    // Keeps the facts of a file read whole for the cache on disk, which takes them in batches.
    void KeepFacts(const Read& read, const sys::FileStamp& stamp, const Description& description)
    {
        std::optional<DescriptionFacts> facts = FactsOf(FileTypeOfPath(read.path), description, read.options);
        if (!facts)
            return; // the options left its edition out
        {
            const std::lock_guard lock(storeMutex);
            if (storeIn && storeIn != read.disk)
                toStore.clear(); // another cache now: the window's user turned one off and on
            storeIn = read.disk;
            toStore.push_back({read.path, stamp, std::move(*facts)});
            factsWaiting.store(true, std::memory_order_relaxed);
        }
        StoreFacts(kStoreBatch);
    }

    // Stores the facts kept once at least `least` of them wait.
    void StoreFacts(std::size_t least)
    {
        std::vector<CacheEntry> entries;
        std::shared_ptr<DescriptionCache> disk;
        {
            const std::lock_guard lock(storeMutex);
            if (toStore.empty() || toStore.size() < least)
                return;
            entries.swap(toStore);
            disk = storeIn;
            factsWaiting.store(false, std::memory_order_relaxed);
        }
        disk->Store(entries);
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
            // Facts kept for the cache on disk go there before the worker waits; the flag spares the
            // workers of clients without that cache an unlock and a lock each time they run out of work.
            if (slots.empty() && factsWaiting.load(std::memory_order_relaxed) && !shuttingDown &&
                !HasWork()) {
                lock.unlock();
                StoreFacts(0);
                lock.lock();
            }
            if (slots.empty())
                workAvailable.wait(lock, [&] { return shuttingDown || HasWork(); });
            if (shuttingDown) {
                // Files not read whole go back to their lanes, for their clients to describe themselves.
                for (auto slot = slots.rbegin(); slot != slots.rend(); ++slot) {
                    Read& read = *slot->read;
                    if (read.requests.empty())
                        continue;
                    for (Request& request : read.requests)
                        request.late = 0;
                    read.lateJoins = 0;
                    Queue(slot->read, true);
                }
                return;
            }
            while (slots.size() < interleave) {
                ReadPtr read = TakeRead();
                if (!read)
                    break;
                if (read->disk && !read->looked)
                    LookUp(read, lock);
                Slot& slot = slots.emplace_back(std::move(read));
                slot.known = std::move(slot.read->known);
                slot.keepFacts = slot.read->lookedStamp && !slot.known;
                slot.stamp = slot.read->lookedStamp;
                if (prefetching && PrefetchDue())
                    prefetchWanted.notify_one();
            }
            lock.unlock();
            Advance(slots, loops, spare, done);
            lock.lock();
        }
    }

    // With no workers: describes the client's next file on the calling thread, unless it has one to take.
    // Others that asked for the same file are handed it too: the clients to tell go to ready.
    void DescribeHere(ClientState& client, std::unique_lock<std::mutex>& lock,
                      std::vector<std::shared_ptr<ClientState>>& ready)
    {
        if (client.CanTake())
            return;
        // Its next file by ticket not being read on another client's thread.
        const auto next = std::find_if(client.reads.begin(), client.reads.end(),
                                       [](const auto& each) { return each.second->queued; });
        if (next == client.reads.end())
            return;
        ReadPtr read = next->second;
        lanes[static_cast<std::size_t>(read->lane)].erase(read->at);
        read->queued = false;
        std::vector<Slot> slots;
        slots.emplace_back(std::move(read));
        lock.unlock();
        std::vector<ScanLoop> loops;
        std::vector<Done> done;
        while (!slots.empty())
            Advance(slots, loops, client.hereSpare, done);
        lock.lock();
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
    state_->StoreFacts(0);
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
                                              DescribeLane lane, std::optional<sys::FileStamp> stamp)
{
    const bool withSeparator = options.withSeparator;
    options.withSeparator = false;
    // Joined by path and options: the stamp is seen by the thread that reads the file.
    std::string key = ResultKeyOf(path, options, sys::FileStamp{});
    // Made before the lock is taken, so that the workers wait on no allocation; dropped when the file
    // joins a read already there.
    auto fresh = std::make_shared<Read>(std::move(path), std::move(options), key);
    fresh->stamp = stamp;
    fresh->requests.reserve(1);
    std::uint64_t ticket = 0;
    bool here = false;
    bool prefetch = false;
    {
        const std::lock_guard lock(state_->mutex);
        ticket = client_->nextTicket;
        std::shared_ptr<Read> read;
        if (const auto found = state_->joinable.find(key); found != state_->joinable.end())
            read = found->second;
        else {
            read = std::move(fresh);
            read->disk = client_->disk;
        }
        client_->reads.emplace(ticket, read);
        Request request{client_, ticket, lane, withSeparator};
        if (read->requests.empty()) {
            read->requests.push_back(std::move(request));
            read->lane = lane;
            state_->Queue(read, false);
            state_->joinable.emplace(std::move(key), std::move(read));
        } else {
            if (!read->queued)
                request.late = ++read->lateJoins;
            read->requests.push_back(std::move(request));
            if (lane < read->lane)
                state_->Relane(*read, lane);
        }
        ++client_->nextTicket;
        ++client_->pending;
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

void DescribeService::Client::Relane(std::span<const std::uint64_t> tickets, DescribeLane lane)
{
    bool prefetch = false;
    {
        const std::lock_guard lock(state_->mutex);
        for (const std::uint64_t ticket : tickets) {
            const auto found = client_->reads.find(ticket);
            if (found == client_->reads.end())
                continue;
            Read& read = *found->second;
            for (Request& request : read.requests) {
                if (request.client == client_ && request.ticket == ticket)
                    request.lane = lane;
            }
            state_->Relane(read, read.MostUrgent());
        }
        prefetch = state_->prefetching && state_->PrefetchDue();
    }
    if (prefetch)
        state_->prefetchWanted.notify_one();
}

std::optional<DescribeOutcome> DescribeService::Client::TryNext()
{
    std::vector<std::shared_ptr<ClientState>> ready;
    std::optional<DescribeOutcome> outcome;
    {
        std::unique_lock lock(state_->mutex);
        if (state_->workers == 0)
            state_->DescribeHere(*client_, lock, ready);
        if (client_->CanTake()) {
            auto first = client_->held.begin();
            outcome = std::move(first->second);
            client_->held.erase(first);
            if (client_->order == DescribeOrder::Submitted)
                client_->nextOut = outcome->ticket + 1;
            --client_->pending;
        }
    }
    for (const std::shared_ptr<ClientState>& other : ready) {
        if (other != client_)
            State::CallReady(*other);
    }
    return outcome;
}

void DescribeService::Client::Cancel()
{
    const std::lock_guard lock(state_->mutex);
    client_->nextOut = client_->nextTicket;
    client_->held.clear();
    client_->pending = 0;
    for (const auto& [ticket, read] : client_->reads)
        state_->Drop(read, *client_, ticket);
    client_->reads.clear();
}
std::size_t DescribeService::Client::Pending() const
{
    const std::lock_guard lock(state_->mutex);
    return client_->pending;
}

void DescribeService::Client::SetDiskCache(std::shared_ptr<DescriptionCache> cache)
{
    const std::lock_guard lock(state_->mutex);
    client_->disk = std::move(cache);
}

void DescribeService::Client::SetReadyCallback(std::function<void()> ready)
{
    const std::lock_guard lock(client_->readyMutex);
    client_->ready = std::move(ready);
}

} // namespace lmp
