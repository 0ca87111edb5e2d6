#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/DescriptionCache.h"
#include "sys/FileStamp.h"

struct sqlite3;
struct sqlite3_stmt;

// The SQLite side of the cache of descriptions: the connection and its statements, the table's layout,
// the faults a result code stands for (a damaged file set aside, a moved one started anew, one that
// cannot be written given up), eviction past the bound, and the notices each fault is told by once.
// Not locked: DescriptionCache makes its callers take turns.
namespace lmp::cache {

struct CloseDatabase {
    void operator()(sqlite3* db) const noexcept;
};
struct FinishStatement {
    void operator()(sqlite3_stmt* statement) const noexcept;
};
using Statement = std::unique_ptr<sqlite3_stmt, FinishStatement>;

// The notices, each said at most once by one cache.
enum Notice : unsigned {
    kNoFolder = 1U << 0,
    kSetAside = 1U << 1,
    kCannotUse = 1U << 2,
    kBusy = 1U << 3,
    kDamagedEntries = 1U << 4,
    kMoved = 1U << 5,
};

// The path as a notice shows it: safe text whatever its bytes.
std::string ShownPath(const std::filesystem::path& path);
// Binds the path's bytes to the statement's first parameter, as the table keys entries.
void BindPath(sqlite3_stmt* statement, const std::filesystem::path& path);

struct CacheDatabase {
    std::filesystem::path file;
    CacheSettings settings;
    std::unique_ptr<sqlite3, CloseDatabase> db; // before the statements, which go first
    Statement find, put, touch, erase, evict, count;
    bool inUse = false;
    bool setAside = false;   // the cache was set aside once: a second time it is given up
    std::size_t entries = 0; // as far as this program knows: counted by the first Bound
    bool counted = false;
    std::optional<sys::FileStamp> openedStamp; // the file's when it was opened
    std::vector<std::string> notices;
    unsigned said = 0;

    void Say(Notice notice, std::string text);
    void Close() noexcept;
    void GiveUp(std::string_view reason);
    // Handles a result code other than success: the work in hand is given up, and the cache is set aside,
    // opened anew or given up as the fault asks. Returns false, for the caller to return.
    bool Failed(int code);
    void StartAnew();
    // A cache file removed or replaced since it was opened takes stores that nobody would read again.
    bool Moved() const;
    void SetAsideAndOpen();
    bool Prepare(Statement& statement, const char* sql);
    // The first column of the one row a statement gives; none after a fault, which is handled.
    std::optional<std::int64_t> Number(sqlite3_stmt* statement);
    std::optional<std::int64_t> Pragma(const char* sql);
    int Run(const char* sql);
    void Open();
    // The table of this layout, in place of whatever was there; another program may be doing the same.
    bool MakeTable();
    // The step of settings.useStep that nowNs falls in: entries are ordered for eviction by it.
    std::int64_t UseStep(std::int64_t nowNs) const noexcept;
    // Keeps the entries and their bytes within the bound, inside the caller's write transaction.
    bool Bound();
    // Drops the entries of some paths and marks others used, in one transaction; busy or not, nothing is
    // lost that the next look-up cannot do again.
    void Tidy(const std::vector<std::filesystem::path>& drop, const std::vector<std::filesystem::path>& used,
              std::int64_t step);
};

} // namespace lmp::cache
