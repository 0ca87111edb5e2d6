#include "scan/TreeSearch.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "core/Edition.h"
#include "core/GameDetails.h"
#include "scan/DescribeFile.h"
#include "scan/DescriptionCache.h"
#include "sys/CommandLine.h"
#include "sys/Folder.h"

namespace lmp {

namespace fs = std::filesystem;

namespace {

// Files looked up in the cache, and descriptions kept in it, at a time: one transaction each.
constexpr std::size_t kBatch = 256;
// Files examined between two reports of the count when nothing matches.
constexpr std::size_t kCountEvery = 2048;

struct Candidate {
    FoundFile file;
    fs::path path;        // the file's whole path
    std::string nameText; // UTF-8, as the query reads it
    bool store = false;   // the cache has no entry for it: keep its facts once read
};

} // namespace

struct TreeSearch::Shared {
    std::mutex mutex;
    std::condition_variable_any outcomesReady;
    bool outcomes = false; // the service has outcomes waiting
    std::vector<FoundFile> found;
    SearchCount count;
    std::vector<std::string> notices;
    bool told = false; // ready was called and Take has not been since
    std::function<void()> ready;

    // Makes what the search has found and counted takeable, and says so unless it was said already.
    void Publish(std::vector<FoundFile>& matches, std::size_t examined, bool ended)
    {
        bool tell = false;
        {
            const std::lock_guard lock(mutex);
            for (FoundFile& match : matches) {
                found.push_back(std::move(match));
            }
            count.matched += matches.size();
            count.examined = examined;
            count.ended = ended;
            tell = !std::exchange(told, true);
        }
        matches.clear();
        if (tell && ready) {
            ready();
        }
    }
    // Ends the search where it stands.
    void End()
    {
        bool tell = false;
        {
            const std::lock_guard lock(mutex);
            count.ended = true;
            tell = !std::exchange(told, true);
        }
        if (tell && ready) {
            ready();
        }
    }
    void Note(std::vector<std::string> lines)
    {
        if (lines.empty()) {
            return;
        }
        const std::lock_guard lock(mutex);
        for (std::string& line : lines) {
            notices.push_back(std::move(line));
        }
    }
};

namespace {

// The search's own thread: walks the folders, decides what it can, and takes the service's outcomes.
class Searcher {
public:
    Searcher(TreeSearch::Shared& shared, DescribeService::Client& client, SearchSettings& settings)
        : shared_(shared), client_(client), settings_(settings)
    {
    }

    void Run(const std::stop_token& stop)
    {
        if (const std::optional<sys::FolderIdentity> root = sys::IdentityOfFolder(settings_.root)) {
            visited_.insert(*root);
        }
        std::vector<std::string> folders{std::string()};
        while (!folders.empty() && !stop.stop_requested()) {
            const std::string folder = std::move(folders.back());
            folders.pop_back();
            Search(folder, folders, stop);
        }
        Decide(stop);
        while (!tickets_.empty() && !stop.stop_requested()) {
            Drain(stop, true);
        }
        Store(0);
        shared_.Publish(matches_, examined_, !stop.stop_requested());
    }

private:
    // folder: below the root, UTF-8.
    void Search(const std::string& folder, std::vector<std::string>& folders, const std::stop_token& stop)
    {
        std::error_code error;
        const fs::path path = folder.empty() ? settings_.root : settings_.root / sys::PathFromUtf8(folder);
        const std::unique_ptr<sys::FolderReader> reader = sys::OpenFolder(path, error);
        if (!reader) {
            return;
        }
        while (!stop.stop_requested()) {
            std::optional<sys::FolderEntry> entry = reader->Next(sys::EntryDetails::Read);
            if (!entry) {
                break;
            }
            if (entry->hidden) {
                continue;
            }
            if (entry->isFolder) {
                if (settings_.subfolders && FirstVisit(path / entry->name, *entry)) {
                    folders.push_back(sys::Utf8FromPath(sys::PathFromUtf8(folder) / entry->name));
                }
                continue;
            }
            if (!entry->regular) {
                continue;
            }
            Examine(folder, path, std::move(*entry), stop);
        }
    }

    // A link back up the tree would otherwise lead the walk round for ever.
    bool FirstVisit(const fs::path& path, const sys::FolderEntry& entry)
    {
        std::optional<sys::FolderIdentity> identity;
        if (entry.inode != 0) {
            identity = sys::FolderIdentity{entry.device, entry.inode};
        } else {
            identity = sys::IdentityOfFolder(path); // listings that give no numbers
        }
        return !identity || visited_.insert(*identity).second;
    }

    void Examine(const std::string& folder, const fs::path& folderPath, sys::FolderEntry entry,
                 const std::stop_token& stop)
    {
        std::string name = sys::Utf8FromPath(entry.name);
        if (settings_.listed && !settings_.listed(name)) {
            return;
        }
        ++examined_;
        const sys::FileStamp stamp = sys::StampOf(entry);
        const std::optional<bool> decided = settings_.query.MatchesWithoutDetails(name, stamp.size);
        if (decided == true) {
            matches_.push_back({.folder = folder, .name = std::move(entry.name), .stamp = stamp});
        } else if (!decided) {
            fs::path path = folderPath / entry.name;
            pending_.push_back(
                Candidate{.file = {.folder = folder, .name = std::move(entry.name), .stamp = stamp},
                          .path = std::move(path),
                          .nameText = std::move(name),
                          .store = false});
            if (pending_.size() >= kBatch) {
                Decide(stop);
            }
        }
        if (!tickets_.empty()) {
            Drain(stop, false);
        }
        if (!matches_.empty() || examined_ % kCountEvery == 0) {
            shared_.Publish(matches_, examined_, false);
        }
    }

    // Looks the pending files up in the cache and hands those it has not to the service.
    void Decide(const std::stop_token& stop)
    {
        if (pending_.empty()) {
            return;
        }
        std::vector<Candidate> batch = std::exchange(pending_, {});
        DescriptionCache* cache = settings_.cache.get();
        if (cache != nullptr && cache->InUse()) {
            std::vector<fs::path> paths;
            std::vector<sys::FileStamp> stamps;
            paths.reserve(batch.size());
            stamps.reserve(batch.size());
            for (const Candidate& candidate : batch) {
                paths.push_back(candidate.path);
                stamps.push_back(candidate.file.stamp);
            }
            std::vector<CacheLookup> answers = cache->Lookup(paths, stamps);
            shared_.Note(cache->TakeNotices());
            for (std::size_t i = 0; i < batch.size() && i < answers.size(); ++i) {
                if (answers[i].answer == CacheAnswer::Found) {
                    const GameDetails details =
                        GameDetails::Of(DescribeFromFacts(paths[i], answers[i].facts, {}));
                    Decided(std::move(batch[i]), &details);
                } else {
                    batch[i].store = answers[i].answer == CacheAnswer::Absent;
                }
            }
            for (std::size_t i = 0; i < batch.size() && i < answers.size(); ++i) {
                if (answers[i].answer != CacheAnswer::Found) {
                    Submit(std::move(batch[i]), stop);
                }
            }
            return;
        }
        for (Candidate& candidate : batch) {
            Submit(std::move(candidate), stop);
        }
    }

    void Submit(Candidate candidate, const std::stop_token& stop)
    {
        while (tickets_.size() >= settings_.ahead && !stop.stop_requested()) {
            Drain(stop, true);
        }
        const std::uint64_t ticket =
            client_.Submit(candidate.path, DescribeOptions{}, DescribeLane::Bulk, candidate.file.stamp);
        tickets_.emplace(ticket, std::move(candidate));
    }

    // Takes the outcomes ready; with wait, waits for one first unless the search is stopped.
    void Drain(const std::stop_token& stop, bool wait)
    {
        if (wait) {
            std::unique_lock lock(shared_.mutex);
            shared_.outcomesReady.wait(lock, stop, [this] { return shared_.outcomes; });
            shared_.outcomes = false;
        }
        while (std::optional<DescribeOutcome> outcome = client_.TryNext()) {
            const auto it = tickets_.find(outcome->ticket);
            if (it == tickets_.end()) {
                continue;
            }
            Candidate candidate = std::move(it->second);
            tickets_.erase(it);
            if (!outcome->description) {
                Decided(std::move(candidate), nullptr);
                continue;
            }
            const Description& description = *outcome->description;
            if (candidate.store && settings_.cache) {
                if (std::optional<DescriptionFacts> facts =
                        FactsOf(FileTypeOfPath(candidate.path), description, {})) {
                    toStore_.push_back({std::move(candidate.path), candidate.file.stamp, std::move(*facts)});
                    Store(kBatch);
                }
            }
            const GameDetails details = GameDetails::Of(description);
            Decided(std::move(candidate), &details);
        }
    }

    void Decided(Candidate candidate, const GameDetails* details)
    {
        if (settings_.query.Matches({candidate.nameText, candidate.file.stamp.size, details})) {
            matches_.push_back(std::move(candidate.file));
        }
    }

    // Keeps the descriptions read once at least `least` of them wait.
    void Store(std::size_t least)
    {
        if (toStore_.empty() || toStore_.size() < least || !settings_.cache) {
            return;
        }
        settings_.cache->Store(toStore_);
        toStore_.clear();
        shared_.Note(settings_.cache->TakeNotices());
    }

    TreeSearch::Shared& shared_;
    DescribeService::Client& client_;
    SearchSettings& settings_;
    std::set<sys::FolderIdentity> visited_;
    std::vector<Candidate> pending_;
    std::unordered_map<std::uint64_t, Candidate> tickets_;
    std::vector<CacheEntry> toStore_;
    std::vector<FoundFile> matches_;
    std::size_t examined_ = 0;
};

} // namespace

TreeSearch::TreeSearch(DescribeService& service, SearchSettings settings, std::function<void()> ready)
    : shared_(std::make_shared<Shared>()),
      client_(std::make_unique<DescribeService::Client>(service, DescribeOrder::AsReady))
{
    shared_->ready = std::move(ready);
    client_->SetReadyCallback([shared = shared_] {
        {
            const std::lock_guard lock(shared->mutex);
            shared->outcomes = true;
        }
        shared->outcomesReady.notify_one();
    });
    try {
        thread_ = std::jthread([shared = shared_, client = client_.get(),
                                settings = std::move(settings)](std::stop_token stop) mutable {
            try {
                Searcher(*shared, *client, settings).Run(stop);
            } catch (const std::exception& error) {
                // Memory, or a cache that failed in a way it could not handle itself: the search ends
                // with what it found.
                shared->Note({std::string("The search stopped: ") + error.what()});
                shared->End();
            }
        });
    } catch (const std::system_error& error) {
        shared_->Note({std::string("The search could not start: ") + error.what()});
        shared_->End();
    }
}

TreeSearch::~TreeSearch()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        client_->Cancel();
        thread_.join();
    }
}

SearchCount TreeSearch::Take(std::vector<FoundFile>& found)
{
    const std::lock_guard lock(shared_->mutex);
    for (FoundFile& file : shared_->found) {
        found.push_back(std::move(file));
    }
    shared_->found.clear();
    shared_->told = false;
    return shared_->count;
}

std::vector<std::string> TreeSearch::TakeNotices()
{
    const std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->notices, {});
}

} // namespace lmp
