#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/Describe.h"
#include "scan/DescribePipeline.h"
#include "sys/FileStamp.h"

namespace lmp {

class DescriptionCache;

// Which work a file belongs to; the workers take the files of a lane before those of the lanes after it.
enum class DescribeLane : std::uint8_t {
    Pane,    // single files the user asked the pane for
    Visible, // rows on screen
    Bulk,    // "Select All ..." and Refresh Description
    Folder,  // the rest of the folder
};
inline constexpr std::size_t kDescribeLanes = 4;

// How a client takes its outcomes: in the order it submitted the files, or as they become ready, so that
// a huge file holds up none of the others.
enum class DescribeOrder : std::uint8_t { Submitted, AsReady };

// At most this many bytes of file buffers are in flight, whatever the number of cores: each file being read
// holds at most its head, its decoded contents and one chunk, about 7.2 MB.
inline constexpr std::uint64_t kServiceBufferBound = std::uint64_t{64} << 20;
inline constexpr std::uint64_t kBuffersPerFile = 4'130'601 + 2'065'365 + (std::uint64_t{1} << 20);

// The workers for a number of hardware threads and the files each reads at once: one thread per core and
// two files each while threads × files fit the buffer bound, then one file each, and no more threads than
// that.
struct ServiceShape {
    unsigned threads = 0;
    unsigned interleave = 0;
    unsigned FilesInFlight() const noexcept { return threads * interleave; }
};
ServiceShape ShapeFor(unsigned hardwareThreads) noexcept;

struct ServiceSettings {
    unsigned threads = 0; // worker threads; 0 for ShapeFor(the hardware's)
    // Files each thread reads at once; 0 for ShapeFor's (the two together stay within the bound).
    unsigned interleave = 0;
    // Bytes of descriptions the cache of results keeps at most; the least recently used go first.
    std::size_t cacheBytes = std::size_t{16} << 20;
    ThreadStarter startThread = nullptr; // none for std::jthread; tests refuse threads through it
    // Called on the thread that reads, with no lock held, each time a chunk of a game file has been read.
    std::function<void(const std::filesystem::path& path, std::uint64_t chunk)> onChunk = nullptr;
};

// One pool of worker threads that describes files for several owners at once, each through a Client of
// its own: a client submits files with a lane and takes its outcomes, in its own order or as they become
// ready; cancelling drops one client's files and leaves the others'. The files being read are at most
// Threads() × the interleave, within kServiceBufferBound, and each thread keeps the buffers of its files
// for the next ones. Descriptions of files read whole are kept in a cache bounded in bytes, by path,
// options and the file's stamp (size, modification and change times to the nanosecond, inode): a file
// submitted again unchanged is not read again; a file asked for by several clients while it is queued or
// being read is read once for all of them, each taking its own outcome. The clients bound what they submit
// ahead of what they take; their outcomes are only lines.
//
// A thread of its own asks the disk for the first bytes of the game files next in line, as
// DescribePipeline's does. When the system refuses threads the service works with those it got; with none at
// all (or once the service is gone) a client's TryNext describes its next file on the calling thread, and
// Submit calls its ready callback for it to come and take.
class DescribeService {
    struct State;
    struct ClientState;
    struct Request;
    struct Read;

public:
    class Client {
    public:
        Client(DescribeService& service, DescribeOrder order);
        // Drops its files; a ready callback under way is waited for, and none is called after.
        ~Client();
        Client(const Client&) = delete;
        Client& operator=(const Client&) = delete;

        // Queues a file; tickets count up by one from 0 over the client's life. stamp: the file's stamp as
        // the caller took it just before (its folder's listing), which then keys the cache of results
        // without the file being examined again.
        std::uint64_t Submit(std::filesystem::path path, DescribeOptions options, DescribeLane lane,
                             std::optional<sys::FileStamp> stamp = std::nullopt);
        // Moves its files of these tickets still queued to another lane: behind the files there when it is
        // more urgent than theirs was, ahead of them when less. A file another client asked for as well
        // stays in the more urgent lane of the two. Costs in the tickets given, not in the files queued.
        void Relane(std::span<const std::uint64_t> tickets, DescribeLane lane);
        // The next outcome when it is ready (in submission order for DescribeOrder::Submitted), without
        // waiting; none when nothing is ready.
        std::optional<DescribeOutcome> TryNext();
        // Drops this client's queued files and held outcomes; its files being read stop at their next chunk.
        void Cancel();
        // Files submitted and not yet handed back.
        std::size_t Pending() const;
        // Files submitted from now on are looked up in the cache on disk before they are read, on the
        // thread that reads them, and the facts of those it has no entry for are kept there once read;
        // none to stop. For clients that describe the same files run after run.
        void SetDiskCache(std::shared_ptr<DescriptionCache> cache);
        // Called on a worker thread, with no lock held, when an outcome becomes ready to be taken (the next
        // one, for DescribeOrder::Submitted); one call may stand for several. Set it before the first Submit.
        void SetReadyCallback(std::function<void()> ready);

    private:
        std::shared_ptr<State> state_;
        std::shared_ptr<ClientState> client_;
    };

    explicit DescribeService(ServiceSettings settings = {});
    // Stops the files being read at their next chunk and waits for the workers. Clients may outlive it:
    // they then describe on their own thread.
    ~DescribeService();
    DescribeService(const DescribeService&) = delete;
    DescribeService& operator=(const DescribeService&) = delete;

    unsigned Threads() const noexcept { return static_cast<unsigned>(workers_.size()); }
    unsigned ThreadsAsked() const noexcept { return asked_; }
    unsigned Interleave() const noexcept;
    // Empty when every worker asked for runs; else, for the user, what describing runs on.
    std::string ThreadShortfall() const;

private:
    std::shared_ptr<State> state_;
    unsigned asked_ = 0;
    std::vector<std::jthread> workers_;
    std::jthread prefetcher_; // none when the system refused it or has no way to ask ahead
};

} // namespace lmp
