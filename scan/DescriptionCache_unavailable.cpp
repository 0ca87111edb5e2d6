// The cache of descriptions in a build without SQLite (Windows): never in use, and it says so.
#include "scan/DescriptionCache.h"

#include <mutex>
#include <utility>

namespace lmp {

struct DescriptionCache::State {
    std::mutex mutex;
    std::filesystem::path file;
    std::vector<std::string> notices;
};

bool DescriptionCache::Available() noexcept
{
    return false;
}

std::optional<std::filesystem::path> DescriptionCache::DefaultFile()
{
    const std::optional<std::filesystem::path> folder = sys::UserCacheFolder();
    if (!folder)
        return std::nullopt;
    return *folder / "lmpexplorer" / "descriptions.db";
}

DescriptionCache::DescriptionCache(CacheSettings settings)
    : DescriptionCache(DefaultFile().value_or(std::filesystem::path()), settings)
{
}

DescriptionCache::DescriptionCache(std::filesystem::path file, CacheSettings)
    : state_(std::make_unique<State>())
{
    state_->file = std::move(file);
    state_->notices.emplace_back("the cache of descriptions is not available in this build");
}

DescriptionCache::~DescriptionCache() = default;

bool DescriptionCache::InUse() const
{
    return false;
}

std::filesystem::path DescriptionCache::File() const
{
    return state_->file;
}

std::vector<CacheLookup> DescriptionCache::Lookup(std::span<const std::filesystem::path> paths)
{
    return std::vector<CacheLookup>(paths.size());
}

std::vector<CacheLookup> DescriptionCache::Lookup(std::span<const std::filesystem::path> paths,
                                                  std::span<const sys::FileStamp>)
{
    return std::vector<CacheLookup>(paths.size());
}

void DescriptionCache::Store(std::span<const CacheEntry>) {}

void DescriptionCache::Clear() {}

std::size_t DescriptionCache::Entries() const
{
    return 0;
}

std::vector<std::string> DescriptionCache::TakeNotices()
{
    const std::lock_guard lock(state_->mutex);
    return std::exchange(state_->notices, {});
}

} // namespace lmp
