#include "scan/ResultCache.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace lmp {

namespace {

template <typename T> void Append(std::string& key, const T& value)
{
    static_assert(std::is_trivially_copyable_v<T>);
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    key.append(bytes, sizeof(T));
}

// What an entry of the cache costs, roughly: its key, its lines and their strings.
std::size_t BytesOf(const std::string& key, const Description& description)
{
    constexpr std::size_t kEntryOverhead = 128;
    std::size_t bytes = kEntryOverhead + key.capacity() + sizeof(Description);
    for (const std::string& line : description.lines)
        bytes += sizeof(std::string) + line.capacity();
    return bytes;
}

} // namespace

std::string ResultKeyOf(const std::filesystem::path& path, const DescribeOptions& options,
                        const sys::FileStamp& stamp)
{
    const auto& native = path.native();
    std::string key(reinterpret_cast<const char*>(native.data()), native.size() * sizeof(native[0]));
    key.push_back('\0');
    Append(key, stamp.size);
    Append(key, stamp.modifiedNs);
    Append(key, stamp.changedNs);
    Append(key, stamp.inode);
    Append(key, stamp.device);
    key.push_back(static_cast<char>((options.acceptOriginal ? 1 : 0) |
                                    (options.acceptFirstExpansion ? 2 : 0) |
                                    (options.acceptSecondExpansion ? 4 : 0)));
    key += options.decimalMark;
    return key;
}

std::optional<Description> ResultCache::Find(const std::string& key)
{
    const std::lock_guard lock(mutex_);
    const auto found = index_.find(key);
    if (found == index_.end())
        return std::nullopt;
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->description;
}

void ResultCache::Store(const std::string& key, const Description& description) noexcept
{
    try {
        const std::size_t bytes = BytesOf(key, description);
        if (bytes > limit_ / 4)
            return; // one file's lines never push out a good share of the others
        const std::lock_guard lock(mutex_);
        if (index_.contains(key))
            return;
        entries_.push_front({key, description, bytes});
        try {
            index_.emplace(key, entries_.begin());
        } catch (...) {
            entries_.pop_front();
            throw;
        }
        used_ += bytes;
        while (used_ > limit_) {
            used_ -= entries_.back().bytes;
            index_.erase(entries_.back().key);
            entries_.pop_back();
        }
    } catch (const std::bad_alloc&) {
        // Keeping a result is only a saving: without memory for it the file is read again next time.
    }
}

} // namespace lmp
