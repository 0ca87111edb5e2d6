#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/Describe.h"
#include "scan/DescribeFile.h"
#include "sys/FileStamp.h"

namespace lmp {

struct CacheSettings {
    // The bound: past either, the least recently used entries go until a tenth of the entries is free.
    std::size_t maxEntries = 200'000;
    std::uint64_t maxBytes = std::uint64_t{64} << 20;
    // A file changed less than this before it is looked up is described but not stored: a write in the
    // same step of the file system's clock could leave its stamp as it was.
    std::chrono::nanoseconds settle = std::chrono::seconds(2);
    // How long a store waits for another program's store to finish before it gives up.
    std::chrono::milliseconds busyTimeout = std::chrono::seconds(5);
    // Entries are ordered for eviction by the step of this length in which they were last used, so that a
    // look-up writes only for entries not yet used in the current step.
    std::chrono::nanoseconds useStep = std::chrono::hours(24);
    // Pages of the cache kept in memory, KiB: a look-up of a whole collection reads each page once, and a
    // smaller page cache costs reads of the system's cache instead.
    std::size_t pageCacheKiB = 16384;
};

enum class CacheAnswer {
    Found,     // facts are the file's for the stamp it has now
    Absent,    // describe the file with every edition accepted (DescribeOptions{}), then Store its facts
    NotCached, // describe the file as usual and store nothing: it changed just now, it is not there or
               // cannot be examined (describing it says why), or the cache is not in use
};

struct CacheLookup {
    CacheAnswer answer = CacheAnswer::NotCached;
    DescriptionFacts facts; // Found
    sys::FileStamp stamp;   // Found and Absent: the file's stamp, taken before it is described
};

struct CacheEntry {
    std::filesystem::path path; // as looked up
    sys::FileStamp stamp;       // Lookup's, never one taken after describing
    DescriptionFacts facts;     // FactsOf the description made with every edition accepted
};

// Descriptions of files kept on disk between runs, as the facts they are made of (DescribeFromFacts gives
// each file's lines under any options), keyed by the file's absolute path and its stamp: an entry is used
// only while the file's size, times, inode and volume are all as they were. Faults never stop describing:
// a damaged cache is set aside and started anew, one that cannot be written is no longer used, and each is
// told once through TakeNotices. Any thread may call it; calls take turns. Look-ups and stores are meant
// in batches (a few hundred files), each one transaction.
class DescriptionCache {
public:
    // False in a build without the cache (Windows): every object is then out of use from the start, and
    // its first notice says that the build has no cache.
    static bool Available() noexcept;
    // <the user's cache folder>/lmpexplorer/descriptions.db; none when the environment names no cache folder.
    static std::optional<std::filesystem::path> DefaultFile();

    // Opens the cache at DefaultFile, creating it (folder 0700, file 0600).
    explicit DescriptionCache(CacheSettings settings = {});
    // Opens or creates the cache at file.
    explicit DescriptionCache(std::filesystem::path file, CacheSettings settings = {});
    ~DescriptionCache();
    DescriptionCache(const DescriptionCache&) = delete;
    DescriptionCache& operator=(const DescriptionCache&) = delete;

    // Whether the cache is in use: false once it could not be opened or written.
    bool InUse() const;
    // The file it was opened at (empty when there is no cache folder).
    std::filesystem::path File() const;

    // Each file's answer, in the order given; the files are examined for their stamps (sys::StampOfFile).
    // Files no longer there lose their entries. A file found or absent must be read after this call.
    std::vector<CacheLookup> Lookup(std::span<const std::filesystem::path> paths);
    // The same with the stamps the caller took (one for each path, from sys::StampOfFile or the folder's
    // listing), so that no file is examined twice; they must have been taken before this call.
    std::vector<CacheLookup> Lookup(std::span<const std::filesystem::path> paths,
                                    std::span<const sys::FileStamp> stamps);
    // Keeps the entries, replacing what was kept for their paths; the least recently used go past the bound.
    void Store(std::span<const CacheEntry> entries);
    // Forgets every entry.
    void Clear();
    // The entries kept, as far as this program can tell (0 when out of use).
    std::size_t Entries() const;

    // What the cache had to say since the last call, each fault once in the object's life: lines fit for a
    // terminal or a status bar.
    std::vector<std::string> TakeNotices();

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace lmp
