#include "cli/Lmpinfo.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <exception>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <ostream>
#include <system_error>
#include <thread>
#include <utility>

#include "cli/Messages.h"
#include "cli/PathList.h"
#include "cli/Progress.h"
#include "cli/Record.h"
#include "cli/Wildcards.h"
#include "core/GameDetails.h"
#include "core/NaturalOrder.h"
#include "core/Query.h"
#include "core/Utf8.h"
#include "scan/DescribeFile.h"
#include "scan/DescribePipeline.h"
#include "scan/DescriptionCache.h"
#include "sys/CommandLine.h"
#include "sys/FileStamp.h"
#include "sys/Folder.h"

namespace lmp::cli {
namespace fs = std::filesystem;

void SeparatorRule::Described(std::int32_t resultEdition) noexcept
{
    described_ = true;
    if (edition_ && resultEdition == *edition_) {
        found_ = true;
    }
}

DescribeOptions DescribeOptionsFor(const Options& options, const std::string& decimalMark)
{
    DescribeOptions describe;
    if (options.edition) {
        describe.acceptOriginal = *options.edition == 0;
        describe.acceptFirstExpansion = *options.edition == 1;
        describe.acceptSecondExpansion = *options.edition == 2;
    }
    describe.decimalMark = decimalMark;
    return describe;
}

namespace {

// The path list's stream: standard input for "-", else file opened on the given name; none, with
// the message in problem, when the list cannot be opened.
std::istream* OpenPathList(const std::string& name, std::ifstream& file, std::string& problem)
{
    if (name == "-")
        return &std::cin;
    std::error_code error;
    if (fs::is_directory(fs::status(sys::PathFromUtf8(name), error))) {
        problem = "Cannot open path list " + name + ": it is a folder";
        return nullptr;
    }
    // Binary, so that the list's bytes arrive as they are; PathList drops a line's CR itself.
    errno = 0;
    file.open(sys::PathFromUtf8(name), std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        const int cause = errno;
        problem = "Cannot open path list " + name;
        if (cause != 0)
            problem += ": " + std::generic_category().message(cause);
        return nullptr;
    }
    return &file;
}

// Files looked up in the cache, and stored, in one transaction: a folder's files at most, so that the
// walk never waits for a folder or a list entry to fill a batch.
constexpr std::size_t kCacheBatch = 256;
// Entries stored in one transaction: each one rewrites the pages of the index it touches, so the fewer
// the better, and the memory they hold is small.
constexpr std::size_t kStoreBatch = 4096;

// What the walk decided for an item before the writer takes it.
enum class Fate {
    Report,   // a problem of the path, or of the list
    Skip,     // the query rules the file out by its name and size alone: it is never read
    Describe, // submitted to the pipeline
    Cached,   // described from the facts the cache kept for its stamp
};

struct Walked {
    Item item;
    Fate fate = Fate::Report;
    std::optional<sys::FileStamp> stamp; // with --where or --cache: taken before the file is read
    bool decide = false;                 // the query needs the file's details
    bool store = false;                  // the cache has no entry for the stamp: the facts go there
    DescriptionFacts facts;              // Cached
};

// With --where or --cache a file is read with every edition accepted, so that its details and facts are
// what the file is; the lines under --edition are then made from those facts.
DescribeOptions ReadOptionsFor(const Options& options, const std::string& decimalMark)
{
    DescribeOptions read = DescribeOptionsFor(options, decimalMark);
    if (options.where || options.cache) {
        read.acceptOriginal = true;
        read.acceptFirstExpansion = true;
        read.acceptSecondExpansion = true;
    }
    return read;
}

// The walk over the paths and the path list, on a thread of its own so that neither listing a folder nor
// waiting for the next entry of a list still being written holds back descriptions that are ready. Each
// file it takes is submitted to the pipeline before the writer sees its item, unless the query rules it
// out by its name and size or the cache has its facts. Shared with that thread,
// which a writer that must end before the list does (its output gone) leaves behind, blocked in a read.
struct Walk {
    Walk(const Options& options, const std::string& decimalMark)
        : describe(DescribeOptionsFor(options, decimalMark)), read(ReadOptionsFor(options, decimalMark)),
          pipeline({.threads = options.jobs}),
          ahead(std::max({std::size_t{8} * std::max(1u, pipeline.Threads()), pipeline.Reach(),
                          options.where || options.cache ? 2 * kCacheBatch : 0}))
    {
    }

    // Takes the next item, or with a query or the cache the items at hand, submitting the files to
    // describe; false once there are no more.
    bool Step();
    // Stamps the files, rules out those the query can by name and size, looks the others up in the
    // cache and submits those it does not have.
    void Prepare(std::vector<Walked>& batch);
    // The thread's body: steps until ahead items wait for the writer, then again once half are taken.
    void Run() noexcept;
    // The next item for the writer, none at the end; flush is called first when it has to wait. Without
    // a thread of its own the walk steps here. Rethrows what ended the walk early.
    std::optional<Walked> Take(bool threaded, const std::function<void()>& flush,
                               std::optional<std::size_t>& total);
    // Ends the walk's thread: joined, or left behind when it waits for the list.
    void Stop(std::thread& thread);

    std::ifstream listFile;
    std::optional<PathList> list;
    std::optional<ItemSource> items;
    const DescribeOptions describe; // the lines printed
    const DescribeOptions read;     // the files read
    std::optional<Query> query;
    std::unique_ptr<DescriptionCache> cache;
    bool stamped = false; // the files' stamps are wanted: for the cache, or for a query on the size
    DescribePipeline pipeline;
    const std::size_t ahead;

    std::mutex mutex;
    // Each side is woken only when it waits: the walk once half of the items ahead have been taken, so
    // that it takes them in batches instead of being woken for each one.
    std::condition_variable roomMade;
    std::condition_variable itemTaken;
    std::deque<Walked> taken; // submitted, not yet written; in order
    std::optional<std::size_t> total;
    bool ended = false;
    bool stepping = false;    // outside the lock, perhaps reading the list
    bool walkerWaits = false; // for room
    bool writerWaits = false; // for an item
    bool stop = false;
    std::exception_ptr failure;
};

bool Walk::Step()
{
    const std::size_t most = query || cache ? kCacheBatch : 1;
    std::vector<Walked> batch;
    std::optional<std::size_t> known;
    bool more = true;
    while (batch.size() < most && (batch.empty() || items->HasBuffered())) {
        std::optional<Item> item = items->Next();
        known = items->Total();
        if (!item) {
            more = false;
            break;
        }
        batch.push_back(Walked{.item = std::move(*item), .stamp = std::nullopt, .facts = {}});
    }
    Prepare(batch);
    bool wake = false;
    {
        const std::lock_guard lock(mutex);
        stepping = false;
        if (known)
            total = known;
        for (Walked& walked : batch)
            taken.push_back(std::move(walked));
        if (!more)
            ended = true;
        wake = std::exchange(writerWaits, false);
    }
    if (wake)
        itemTaken.notify_one();
    return more;
}

void Walk::Prepare(std::vector<Walked>& batch)
{
    std::vector<fs::path> paths;
    std::vector<sys::FileStamp> stamps;
    std::vector<Walked*> looked;
    for (Walked& walked : batch) {
        if (walked.item.pathless || !walked.item.problem.empty())
            continue;
        walked.fate = Fate::Describe;
        if (!query && !cache)
            continue;
        // A file that cannot be examined is described all the same, which says why it cannot be read.
        std::error_code error;
        if (stamped)
            walked.stamp = walked.item.stamp ? walked.item.stamp : sys::StampOfFile(walked.item.path, error);
        if (query) {
            // A file that cannot be examined has no size, and a term on the size never holds for it.
            const std::string name = NameText(walked.item.path);
            std::optional<bool> decided;
            if (walked.stamp)
                decided = query->MatchesWithoutDetails(name, walked.stamp->size);
            else if (!stamped)
                decided = query->MatchesWithoutDetails(name, 0); // no term reads the size
            else if (query->MatchesWithoutDetails(name, 0) == false &&
                     query->MatchesWithoutDetails(name, std::numeric_limits<std::uint64_t>::max()) == false)
                decided = false;
            if (decided == false) {
                walked.fate = Fate::Skip;
                continue;
            }
            walked.decide = !decided;
        }
        // Files of no game type are never read: there is nothing to keep for them.
        if (cache && walked.stamp && FileTypeOfPath(walked.item.path) != FileType::None) {
            paths.push_back(walked.item.path);
            stamps.push_back(*walked.stamp);
            looked.push_back(&walked);
        }
    }
    if (!paths.empty()) {
        std::vector<CacheLookup> answers = cache->Lookup(paths, stamps);
        for (std::size_t i = 0; i < answers.size() && i < looked.size(); ++i) {
            if (answers[i].answer == CacheAnswer::Found) {
                looked[i]->fate = Fate::Cached;
                looked[i]->facts = std::move(answers[i].facts);
            } else if (answers[i].answer == CacheAnswer::Absent) {
                looked[i]->stamp = answers[i].stamp;
                looked[i]->store = true;
            }
        }
    }
    for (Walked& walked : batch) {
        if (walked.fate != Fate::Describe)
            continue;
        try {
            pipeline.Submit(walked.item.path, read);
        } catch (const std::bad_alloc&) {
            walked.item.problem = MemoryError(walked.item.path).what();
            walked.fate = Fate::Report;
        }
    }
}

void Walk::Run() noexcept
{
    try {
        for (;;) {
            {
                std::unique_lock lock(mutex);
                if (taken.size() >= ahead) {
                    walkerWaits = true;
                    roomMade.wait(lock, [this] { return stop || taken.size() <= ahead / 2; });
                    walkerWaits = false;
                }
                if (stop)
                    return;
                stepping = true;
            }
            if (!Step())
                return;
        }
    } catch (...) {
        {
            const std::lock_guard lock(mutex);
            failure = std::current_exception();
            ended = true;
            stepping = false;
        }
        itemTaken.notify_one();
    }
}

std::optional<Walked> Walk::Take(bool threaded, const std::function<void()>& flush,
                                 std::optional<std::size_t>& known)
{
    if (!threaded && !ended && taken.size() < ahead) {
        flush();
        while (!ended && taken.size() < ahead)
            Step();
    }
    std::unique_lock lock(mutex);
    if (taken.empty() && !ended) {
        lock.unlock();
        flush();
        lock.lock();
        writerWaits = true;
        itemTaken.wait(lock, [this] { return !taken.empty() || ended; });
        writerWaits = false;
    }
    known = total;
    if (taken.empty()) {
        if (failure)
            std::rethrow_exception(failure);
        return std::nullopt;
    }
    Walked item = std::move(taken.front());
    taken.pop_front();
    const bool wake = walkerWaits && taken.size() <= ahead / 2;
    lock.unlock();
    if (wake)
        roomMade.notify_one();
    return item;
}

void Walk::Stop(std::thread& thread)
{
    if (!thread.joinable())
        return;
    bool reading = false;
    {
        const std::lock_guard lock(mutex);
        stop = true;
        reading = stepping && list.has_value(); // a folder is listed to its end anyway
    }
    roomMade.notify_one();
    if (reading)
        thread.detach();
    else
        thread.join();
}

} // namespace

int Run(const Options& options, const std::string& decimalMark, std::ostream& out, std::ostream& err,
        Terminals terminals)
{
    const auto walk = std::make_shared<Walk>(options, decimalMark);
    if (options.where) {
        try {
            walk->query.emplace(*options.where);
            walk->stamped = walk->query->NeedsSize();
        } catch (const QueryError& error) {
            err << FormatStderrMessage("--where: " + std::string(error.what())) << '\n';
            return kExitUsage;
        }
    }
    walk->stamped = walk->stamped || options.cache;
    if (options.filesFrom) {
        std::string problem;
        std::istream* in = OpenPathList(*options.filesFrom, walk->listFile, problem);
        if (in == nullptr) {
            err << FormatStderrMessage(problem) << '\n';
            return kExitUsage;
        }
        walk->list.emplace(*in, *options.filesFrom == "-" ? "standard input" : *options.filesFrom,
                           options.nullSeparated);
    }
    walk->items.emplace(options.paths, walk->list ? &*walk->list : nullptr, options.recursive, walk->stamped);
    SeparatorRule separator(options.edition, options.noSeparator);
    ProgressLine progress(err, terminals.err, std::nullopt, terminals.out ? &out : nullptr);
    // Lines for a file or a pipe leave the progress line standing; on the same screen they go below it.
    const auto beforeOut = [&] {
        if (terminals.out)
            progress.Hide();
    };
    // Whatever is buffered goes out whenever the writer waits, for the next description or for the list,
    // so that a reader never waits for lines that are ready; on a terminal each file's lines go at once.
    const std::function<void()> flush = [&] { out.flush(); };
    int exitCode = kExitOk;
    const auto write = [&](const Record& record) {
        beforeOut();
        out << (options.format == OutputFormat::Json ? JsonLine(record) : CsvRow(record));
    };
    const auto report = [&](const Item& item, const std::string& message) {
        progress.Hide();
        out.flush(); // keeps the messages in place among the lines
        err << FormatStderrMessage(message) << '\n';
        exitCode = kExitFileError;
        if (options.format != OutputFormat::Text && !item.pathless) {
            write(ErrorRecord(item.path, message));
        }
    };

    // Entries go to the cache in batches, each one transaction; its notices are said as they come.
    std::vector<CacheEntry> toStore;
    const auto store = [&](std::size_t atLeast) {
        if (!walk->cache)
            return;
        if (toStore.size() >= atLeast && !toStore.empty()) {
            walk->cache->Store(toStore);
            toStore.clear();
        }
        for (const std::string& notice : walk->cache->TakeNotices()) {
            progress.Hide();
            out.flush();
            err << FormatStderrMessage(notice) << '\n';
        }
    };
    if (options.cache)
        walk->cache = std::make_unique<DescriptionCache>();
    store(kStoreBatch);

    if (const std::string shortfall = walk->pipeline.ThreadShortfall(); !shortfall.empty())
        err << FormatStderrMessage(shortfall) << '\n';
    if (options.format == OutputFormat::Csv && !options.noHeader) {
        out << CsvHeaderRow();
    }
    // Files are described ahead on the pipeline's threads, without their separators, which are only
    // known in order. The walk takes only a bounded number of items ahead of the one written next, so
    // that memory does not grow with the number of paths and the first lines come at once; enough that
    // the files asked of the disk ahead are among them.
    std::thread walker;
    try {
        walker = std::thread([walk] { walk->Run(); });
    } catch (const std::system_error&) {
        // The writer walks between descriptions instead.
    }
    std::string text; // one file's lines, written at once
    std::size_t examined = 0;
    std::size_t matched = 0;
    try {
        for (;;) {
            std::optional<std::size_t> total;
            std::optional<Walked> walked = walk->Take(walker.joinable(), flush, total);
            // Output that cannot be written (a reader that went away, where no SIGPIPE ends the process)
            // ends the run instead of reading the rest of the collection for nothing.
            if (!walked || !out) {
                break;
            }
            const Item* item = &walked->item;
            if (item->pathless) {
                report(*item, item->problem);
                continue;
            }
            if (!progress.Total() && total)
                progress.Total(*total);
            progress.Examined(examined++, walk->query ? std::optional(matched) : std::nullopt);
            if (!item->problem.empty()) {
                report(*item, item->problem);
                continue;
            }
            if (walked->fate == Fate::Skip)
                continue;
            std::optional<DescribeOutcome> outcome;
            if (walked->fate == Fate::Describe) {
                outcome = walk->pipeline.Threads() > 0 ? walk->pipeline.TryNext() : std::nullopt;
                if (!outcome) {
                    flush();
                    outcome = walk->pipeline.Next();
                }
            }
            try {
                Description description = walked->fate == Fate::Cached
                                              ? DescribeFromFacts(item->path, walked->facts, walk->read)
                                              : std::move(*outcome).Take();
                if (walk->query || walk->cache) {
                    // Read once with every edition accepted: its details decide the query, its facts go to
                    // the cache, and the lines under --edition are made from them.
                    std::optional<DescriptionFacts> facts;
                    if (walked->fate == Fate::Cached)
                        facts = walked->facts;
                    else if (walked->store || options.edition)
                        facts = FactsOf(FileTypeOfPath(item->path), description, walk->read);
                    if (walked->store && facts && walked->stamp) {
                        toStore.push_back({item->path, *walked->stamp, *facts});
                        store(kStoreBatch);
                    }
                    if (walked->decide) {
                        const GameDetails details = GameDetails::Of(description);
                        const std::string name = NameText(item->path);
                        if (!walk->query->Matches({name, walked->stamp ? walked->stamp->size : 0, &details}))
                            continue;
                    }
                    if (options.edition && facts)
                        description = DescribeFromFacts(item->path, *facts, walk->describe);
                }
                ++matched;
                if (options.format != OutputFormat::Text) {
                    if (!description.lines.empty()) {
                        write(DescribedRecord(item->path, description));
                    }
                } else if (!description.lines.empty()) {
                    if (separator.Next())
                        AddSeparator(description);
                    beforeOut();
                    text.clear();
                    for (const std::string& line : description.lines) {
                        text += line;
                        text += '\n';
                    }
                    out << text;
                }
                separator.Described(description.edition);
            } catch (const FileError& error) {
                report(*item, error.what());
                separator.Failed();
            } catch (const MemoryError& error) {
                report(*item, error.what());
                separator.Failed();
            } catch (const std::bad_alloc&) {
                report(*item, MemoryError(item->path).what());
                separator.Failed();
            }
            if (terminals.out)
                flush();
        }
    } catch (...) {
        walk->Stop(walker);
        throw;
    }
    walk->Stop(walker);
    store(1);
    progress.Hide();

    out.flush();
    if (!out) {
        err << FormatStderrMessage("cannot write to standard output") << '\n';
        return kExitFileError;
    }
    return exitCode;
}

int Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals)
{
    ParseResult parsed = ParseArguments(argc, argv);
    if (!parsed.options) {
        (parsed.exitCode == kExitOk ? out : err) << parsed.text;
        return parsed.exitCode;
    }
    const std::string decimalMark =
        parsed.options->decimalMark ? *parsed.options->decimalMark : UserDecimalMark();
    return Run(*parsed.options, decimalMark, out, err, terminals);
}

} // namespace lmp::cli
