#include "scan/DescriptionCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "scan/CacheDatabase.h"
#include "scan/CacheEntryCodec.h"

namespace lmp {

namespace {

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The path as the cache keys it: relative paths against the working folder, nothing else changed, so that
// the file examined is the one the caller reads.
std::filesystem::path Absolute(const std::filesystem::path& path, std::optional<std::filesystem::path>& cwd)
{
    if (path.is_absolute())
        return path;
    if (!cwd) {
        std::error_code error;
        cwd = std::filesystem::current_path(error);
        if (error)
            cwd = std::filesystem::path();
    }
    return *cwd / path;
}

} // namespace

// The database, and the lock that makes the callers of one cache take turns.
struct DescriptionCache::State : cache::CacheDatabase {
    std::mutex mutex;

    std::vector<CacheLookup> LookUp(std::span<const std::filesystem::path> paths,
                                    std::span<const sys::FileStamp> given);
};

std::vector<CacheLookup> DescriptionCache::State::LookUp(std::span<const std::filesystem::path> paths,
                                                         std::span<const sys::FileStamp> given)
{
    std::vector<CacheLookup> answers(paths.size());
    const std::lock_guard lock(mutex);
    if (!inUse)
        return answers;
    const std::int64_t now = NowNs();
    const std::int64_t step = UseStep(now);
    std::optional<std::filesystem::path> cwd;
    std::vector<std::filesystem::path> drop;
    std::vector<std::filesystem::path> used;
    if (int code = Run("BEGIN"); code != SQLITE_OK) {
        Failed(code);
        return answers;
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::filesystem::path path = Absolute(paths[i], cwd);
        std::error_code error;
        const std::optional<sys::FileStamp> stamp =
            given.empty() ? sys::StampOfFile(path, error) : std::optional(given[i]);
        const bool notThere = !stamp && sys::IsNotThere(error);
        // A file that changed within the settling time is not stored: the contents read after this
        // look-up could differ from those a later look-up finds the same stamp for.
        if ((!stamp && !notThere) ||
            (stamp && now - std::max(stamp->changedNs, stamp->modifiedNs) < settings.settle.count()))
            continue;
        cache::BindPath(find.get(), path);
        const int code = sqlite3_step(find.get());
        if (code != SQLITE_ROW && code != SQLITE_DONE) {
            sqlite3_reset(find.get());
            Failed(code);
            std::fill(answers.begin() + static_cast<std::ptrdiff_t>(i), answers.end(), CacheLookup{});
            return answers;
        }
        if (stamp) {
            answers[i].answer = CacheAnswer::Absent;
            answers[i].stamp = *stamp;
        }
        if (code == SQLITE_ROW) {
            const std::int64_t lastUsed = sqlite3_column_int64(find.get(), 0);
            const auto* entry = static_cast<const std::uint8_t*>(sqlite3_column_blob(find.get(), 1));
            const auto entrySize = static_cast<std::size_t>(sqlite3_column_bytes(find.get(), 1));
            auto decoded = cache::DecodeEntry(path, {entry, entrySize});
            if (!decoded)
                Say(cache::kDamagedEntries, "some entries of the cache of descriptions at " +
                                                cache::ShownPath(file) +
                                                " were damaged; those files were read again");
            if (notThere || !decoded) {
                drop.push_back(std::move(path));
            } else if (decoded->first == *stamp) {
                answers[i].answer = CacheAnswer::Found;
                answers[i].facts = std::move(decoded->second);
                if (lastUsed < step)
                    used.push_back(std::move(path));
            }
        }
        sqlite3_reset(find.get());
    }
    if (int code = Run("COMMIT"); code != SQLITE_OK) {
        Failed(code);
        return answers;
    }
    Tidy(drop, used, step);
    return answers;
}

bool DescriptionCache::Available() noexcept
{
    return true;
}

std::optional<std::filesystem::path> DescriptionCache::DefaultFile()
{
    const std::optional<std::filesystem::path> folder = sys::UserCacheFolder();
    if (!folder)
        return std::nullopt;
    return *folder / "lmpexplorer" / "descriptions.db";
}

DescriptionCache::DescriptionCache(CacheSettings settings) : state_(std::make_unique<State>())
{
    state_->settings = settings;
    if (const std::optional<std::filesystem::path> file = DefaultFile()) {
        state_->file = *file;
        state_->Open();
    } else {
        state_->Say(cache::kNoFolder,
                    "no folder for the cache of descriptions (neither XDG_CACHE_HOME nor HOME is set); "
                    "files are described without it");
    }
}

DescriptionCache::DescriptionCache(std::filesystem::path file, CacheSettings settings)
    : state_(std::make_unique<State>())
{
    state_->settings = settings;
    state_->file = std::move(file);
    state_->Open();
}

DescriptionCache::~DescriptionCache() = default;

bool DescriptionCache::InUse() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->inUse;
}

std::filesystem::path DescriptionCache::File() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->file;
}

std::vector<CacheLookup> DescriptionCache::Lookup(std::span<const std::filesystem::path> paths)
{
    return state_->LookUp(paths, {});
}

std::vector<CacheLookup> DescriptionCache::Lookup(std::span<const std::filesystem::path> paths,
                                                  std::span<const sys::FileStamp> stamps)
{
    if (stamps.size() != paths.size())
        throw std::invalid_argument("DescriptionCache::Lookup: a stamp for each path");
    return state_->LookUp(paths, stamps);
}

void DescriptionCache::Store(std::span<const CacheEntry> entries)
{
    State& state = *state_;
    const std::lock_guard lock(state.mutex);
    if (!state.inUse || entries.empty())
        return;
    if (state.Moved()) {
        state.StartAnew();
        if (!state.inUse)
            return;
    }
    const std::int64_t step = state.UseStep(NowNs());
    std::optional<std::filesystem::path> cwd;
    if (int code = state.Run("BEGIN IMMEDIATE"); code != SQLITE_OK) {
        state.Failed(code);
        return;
    }
    sqlite3_stmt* put = state.put.get();
    for (const CacheEntry& entry : entries) {
        if (!cache::Consistent(entry.facts))
            continue;
        const std::filesystem::path path = Absolute(entry.path, cwd);
        const std::vector<std::uint8_t> encoded = cache::EncodeEntry(path, entry.stamp, entry.facts);
        cache::BindPath(put, path);
        sqlite3_bind_int64(put, 2, step);
        sqlite3_bind_blob(put, 3, encoded.data(), static_cast<int>(encoded.size()), SQLITE_STATIC);
        const int code = sqlite3_step(put);
        sqlite3_reset(put);
        sqlite3_clear_bindings(put);
        if (code != SQLITE_DONE) {
            state.Failed(code);
            return;
        }
        ++state.entries;
    }
    if (!state.Bound())
        return;
    if (int code = state.Run("COMMIT"); code != SQLITE_OK)
        state.Failed(code);
}

void DescriptionCache::Clear()
{
    State& state = *state_;
    const std::lock_guard lock(state.mutex);
    if (!state.inUse)
        return;
    if (int code = state.Run("DELETE FROM descriptions"); code != SQLITE_OK) {
        state.Failed(code);
        return;
    }
    state.entries = 0;
    state.counted = true;
}

std::size_t DescriptionCache::Entries() const
{
    State& state = *state_;
    const std::lock_guard lock(state.mutex);
    if (!state.inUse)
        return 0;
    const std::optional<std::int64_t> counted = state.Number(state.count.get());
    if (counted)
        state.entries = static_cast<std::size_t>(*counted);
    return state.inUse ? state.entries : 0;
}

std::vector<std::string> DescriptionCache::TakeNotices()
{
    const std::lock_guard lock(state_->mutex);
    return std::exchange(state_->notices, {});
}

} // namespace lmp
