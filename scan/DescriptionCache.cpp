#include "scan/DescriptionCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>

#include "core/Utf8.h"

namespace lmp {

namespace {

// The layout of the entries (PRAGMA user_version): a cache of another layout is emptied.
constexpr int kLayout = 1;
// Pages kept in memory (KiB): a look-up of a large collection reads each page once.
constexpr const char* kPageCache = "PRAGMA cache_size=-16384";
constexpr const char* kAsideSuffix = ".corrupt";

// FNV-1a over 64 bits: the check of an entry, the same on every build and system.
class Hash {
public:
    void Add(std::span<const std::uint8_t> bytes) noexcept
    {
        for (const std::uint8_t byte : bytes) {
            value_ ^= byte;
            value_ *= 0x100000001B3U;
        }
    }
    std::uint64_t Value() const noexcept { return value_; }

private:
    std::uint64_t value_ = 0xCBF29CE484222325U;
};

std::span<const std::uint8_t> BytesOf(const std::filesystem::path& path) noexcept
{
    const auto& native = path.native();
    return {reinterpret_cast<const std::uint8_t*>(native.data()), native.size() * sizeof(native[0])};
}

// Fixed-width little-endian fields.
class Writer {
public:
    template <class T> void Put(T value)
    {
        static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
        const auto bits = static_cast<std::make_unsigned_t<T>>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    void PutText(std::string_view text)
    {
        Put(static_cast<std::uint16_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    std::vector<std::uint8_t>& Bytes() noexcept { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    template <class T> bool Get(T& value) noexcept
    {
        static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
        if (bytes_.size() - at_ < sizeof(T))
            return false;
        std::make_unsigned_t<T> bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bits = static_cast<std::make_unsigned_t<T>>(bits | std::make_unsigned_t<T>{bytes_[at_ + i]}
                                                                   << (8 * i));
        at_ += sizeof(T);
        value = static_cast<T>(bits);
        return true;
    }
    bool GetText(std::string& text)
    {
        std::uint16_t size = 0;
        if (!Get(size) || bytes_.size() - at_ < size)
            return false;
        text.assign(reinterpret_cast<const char*>(bytes_.data() + at_), size);
        at_ += size;
        return true;
    }
    std::size_t Offset() const noexcept { return at_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

enum class SummaryKind : std::uint8_t { None, TrackDesign, Park };

// An entry: the stamp, the facts, then the hash of the path and of everything before it.
std::vector<std::uint8_t> Encode(const std::filesystem::path& path, const sys::FileStamp& stamp,
                                 const DescriptionFacts& facts)
{
    Writer out;
    out.Put(stamp.size);
    out.Put(stamp.modifiedNs);
    out.Put(stamp.changedNs);
    out.Put(stamp.inode);
    out.Put(stamp.device);
    out.Put(static_cast<std::uint8_t>(facts.type));
    out.Put(static_cast<std::int8_t>(facts.edition));
    if (const auto* design = std::get_if<TrackDesignSummary>(&facts.summary)) {
        out.Put(static_cast<std::uint8_t>(SummaryKind::TrackDesign));
        out.Put(design->rideType);
        out.Put(design->excitement);
        out.Put(design->intensity);
        out.Put(design->nausea);
        out.Put(design->lengthMetres);
    } else if (const auto* park = std::get_if<ParkSummary>(&facts.summary)) {
        out.Put(static_cast<std::uint8_t>(SummaryKind::Park));
        out.Put(static_cast<std::uint8_t>(park->scenario ? 1 : 0));
        out.PutText(park->name);
        out.Put(park->slot);
        out.Put(park->goalType);
        out.Put(park->goalYears);
        out.Put(park->goalAmount);
        out.Put(park->goalCount);
        out.Put(park->monthIndex);
        out.Put(park->day);
        out.Put(park->year);
        out.Put(park->rating);
        out.Put(park->cash);
        out.Put(park->rides);
        out.Put(park->stalls);
        out.Put(park->averageExcitement);
        out.Put(park->averageIntensity);
        out.Put(park->averageNausea);
        out.Put(park->guests);
        out.Put(park->staff);
    } else {
        out.Put(static_cast<std::uint8_t>(SummaryKind::None));
    }
    Hash hash;
    hash.Add(BytesOf(path));
    hash.Add(out.Bytes());
    out.Put(hash.Value());
    return std::move(out.Bytes());
}

// Facts whose summary is not the one their type and edition call for would describe nothing sensible.
bool Consistent(const DescriptionFacts& facts) noexcept
{
    if (facts.edition < kNoEdition || facts.edition > 2)
        return false;
    if (facts.type == FileType::None || facts.edition == kNoEdition)
        return std::holds_alternative<std::monostate>(facts.summary) &&
               (facts.type != FileType::None || facts.edition == kNoEdition);
    if (facts.type == FileType::TrackDesign)
        return std::holds_alternative<TrackDesignSummary>(facts.summary);
    const auto* park = std::get_if<ParkSummary>(&facts.summary);
    return park != nullptr && park->scenario == (facts.type == FileType::Scenario) &&
           park->name.size() <= 0xFFFF;
}

// The stamp and facts of an entry; none when the entry is not one that Encode wrote for this path.
std::optional<std::pair<sys::FileStamp, DescriptionFacts>> Decode(const std::filesystem::path& path,
                                                                  std::span<const std::uint8_t> entry)
{
    Reader in(entry);
    sys::FileStamp stamp;
    DescriptionFacts facts;
    std::uint8_t type = 0;
    std::int8_t edition = 0;
    std::uint8_t kind = 0;
    if (!in.Get(stamp.size) || !in.Get(stamp.modifiedNs) || !in.Get(stamp.changedNs) ||
        !in.Get(stamp.inode) || !in.Get(stamp.device) || !in.Get(type) || !in.Get(edition) || !in.Get(kind) ||
        type > static_cast<std::uint8_t>(FileType::Scenario))
        return std::nullopt;
    facts.type = static_cast<FileType>(type);
    facts.edition = edition;
    bool read = true;
    if (kind == static_cast<std::uint8_t>(SummaryKind::TrackDesign)) {
        TrackDesignSummary design;
        read = in.Get(design.rideType) && in.Get(design.excitement) && in.Get(design.intensity) &&
               in.Get(design.nausea) && in.Get(design.lengthMetres);
        facts.summary = design;
    } else if (kind == static_cast<std::uint8_t>(SummaryKind::Park)) {
        ParkSummary park;
        std::uint8_t scenario = 0;
        read = in.Get(scenario) && scenario <= 1 && in.GetText(park.name) && in.Get(park.slot) &&
               in.Get(park.goalType) && in.Get(park.goalYears) && in.Get(park.goalAmount) &&
               in.Get(park.goalCount) && in.Get(park.monthIndex) && in.Get(park.day) && in.Get(park.year) &&
               in.Get(park.rating) && in.Get(park.cash) && in.Get(park.rides) && in.Get(park.stalls) &&
               in.Get(park.averageExcitement) && in.Get(park.averageIntensity) &&
               in.Get(park.averageNausea) && in.Get(park.guests) && in.Get(park.staff);
        park.scenario = scenario == 1;
        facts.summary = std::move(park);
    } else if (kind != static_cast<std::uint8_t>(SummaryKind::None)) {
        return std::nullopt;
    }
    Hash hash;
    hash.Add(BytesOf(path));
    hash.Add(entry.first(in.Offset()));
    std::uint64_t stored = 0;
    if (!read || !in.Get(stored) || stored != hash.Value() || in.Offset() != entry.size() ||
        !Consistent(facts))
        return std::nullopt;
    return std::pair{stamp, std::move(facts)};
}

std::string Shown(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return SafeText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

void BindPath(sqlite3_stmt* statement, const std::filesystem::path& path)
{
    const std::span<const std::uint8_t> bytes = BytesOf(path);
    sqlite3_bind_blob(statement, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

struct CloseDatabase {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct FinishStatement {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinishStatement>;

// What a result code of SQLite asks of the cache.
enum class Fault { None, Busy, Damaged, Moved, CannotWrite };

Fault FaultOf(int code) noexcept
{
    switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return Fault::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Fault::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Fault::Damaged;
    default:
        return code == SQLITE_READONLY_DBMOVED ? Fault::Moved : Fault::CannotWrite;
    }
}

// The notices, each said at most once by one cache.
enum Notice : unsigned {
    kNoFolder = 1U << 0,
    kSetAside = 1U << 1,
    kCannotUse = 1U << 2,
    kBusy = 1U << 3,
    kDamagedEntries = 1U << 4,
    kMoved = 1U << 5,
};

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

struct DescriptionCache::State {
    std::mutex mutex;
    std::filesystem::path file;
    CacheSettings settings;
    std::unique_ptr<sqlite3, CloseDatabase> db; // before the statements, which go first
    Statement find, put, touch, erase, evict, count;
    bool inUse = false;
    bool setAside = false; // the cache was set aside once: a second time it is given up
    std::size_t entries = 0;
    std::optional<sys::FileStamp> openedStamp; // the file's when it was opened
    std::vector<std::string> notices;
    unsigned said = 0;

    void Say(Notice notice, std::string text)
    {
        if ((said & notice) != 0)
            return;
        said |= notice;
        notices.push_back(std::move(text));
    }

    void Close() noexcept
    {
        find.reset();
        put.reset();
        touch.reset();
        erase.reset();
        evict.reset();
        count.reset();
        db.reset();
        inUse = false;
    }

    void GiveUp(std::string_view reason)
    {
        Close();
        Say(kCannotUse, "the cache of descriptions at " + Shown(file) + " cannot be used (" +
                            std::string(reason) + "); files are described without it");
    }

    // Handles a result code other than success: the work in hand is given up, and the cache is set aside,
    // opened anew or given up as the fault asks. Returns false, for the caller to return.
    bool Failed(int code)
    {
        if (db && sqlite3_get_autocommit(db.get()) == 0)
            sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        switch (FaultOf(code)) {
        case Fault::Busy:
            Say(kBusy, "the cache of descriptions at " + Shown(file) +
                           " is busy in another program; some descriptions were not kept in it");
            break;
        case Fault::Damaged:
            SetAsideAndOpen();
            break;
        case Fault::Moved:
            StartAnew();
            break;
        case Fault::None:
        case Fault::CannotWrite:
            GiveUp(sqlite3_errstr(code));
            break;
        }
        return false;
    }

    void StartAnew()
    {
        Say(kMoved,
            "the cache of descriptions at " + Shown(file) + " was removed while in use; started anew");
        Close();
        Open();
    }

    // A cache file removed or replaced since it was opened takes stores that nobody would read again.
    bool Moved() const
    {
        std::error_code error;
        const std::optional<sys::FileStamp> now = sys::StampOfFile(file, error);
        return !now || !openedStamp || now->inode != openedStamp->inode || now->device != openedStamp->device;
    }

    void SetAsideAndOpen()
    {
        Close();
        if (setAside) {
            GiveUp("it was damaged again");
            return;
        }
        setAside = true;
        std::filesystem::path aside = file;
        aside += kAsideSuffix;
        std::error_code error;
        std::filesystem::remove_all(aside, error);
        std::filesystem::rename(file, aside, error);
        if (error) {
            GiveUp("it is damaged and cannot be set aside: " + error.message());
            return;
        }
        // The journal beside it belongs to the damaged file.
        for (const char* suffix : {"-wal", "-shm"}) {
            std::filesystem::path journal = file;
            journal += suffix;
            std::filesystem::remove(journal, error);
        }
        Say(kSetAside, "the cache of descriptions at " + Shown(file) + " was damaged; it was set aside as " +
                           Shown(aside) + " and started anew");
        Open();
    }

    bool Prepare(Statement& statement, const char* sql)
    {
        sqlite3_stmt* prepared = nullptr;
        const int code = sqlite3_prepare_v3(db.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
        statement.reset(prepared);
        // A statement that does not fit the table: a table of this layout's name and number but not its
        // shape.
        return code == SQLITE_OK || Failed(code == SQLITE_ERROR ? SQLITE_CORRUPT : code);
    }

    // The first column of the one row a statement gives; none after a fault, which is handled.
    std::optional<std::int64_t> Number(sqlite3_stmt* statement)
    {
        const int code = sqlite3_step(statement);
        const std::int64_t value = code == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
        sqlite3_reset(statement);
        if (code != SQLITE_ROW) {
            Failed(code);
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::int64_t> Pragma(const char* sql)
    {
        Statement statement;
        if (!Prepare(statement, sql))
            return std::nullopt;
        return Number(statement.get());
    }

    int Run(const char* sql) { return sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr); }

    void Open()
    {
        std::error_code error;
        const std::filesystem::path folder = file.parent_path();
        if (!folder.empty() && !std::filesystem::exists(folder, error)) {
            std::filesystem::create_directories(folder, error);
            if (!error)
                std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
            if (error) {
                GiveUp("its folder cannot be made: " + error.message());
                return;
            }
        }
        // Anything but a regular file where the cache belongs (a folder, a device) is set aside.
        const std::filesystem::file_status status = std::filesystem::status(file, error);
        if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
            SetAsideAndOpen();
            return;
        }
        sqlite3* opened = nullptr;
        const std::u8string name = file.u8string();
        const int code =
            sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &opened,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        db.reset(opened);
        if (code != SQLITE_OK) {
            Failed(code);
            return;
        }
        // Only its owner reads and writes it; the journal files SQLite makes beside it take its permissions.
        std::filesystem::permissions(
            file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error);
        openedStamp = sys::StampOfFile(file, error);
        sqlite3_extended_result_codes(db.get(), 1);
        if (sqlite3_db_readonly(db.get(), "main") == 1) {
            GiveUp("it is read-only");
            return;
        }
        sqlite3_busy_timeout(db.get(),
                             static_cast<int>(std::min<std::int64_t>(settings.busyTimeout.count(), 1 << 30)));
        // Written ahead, so that readers never wait for a writer; a cache that loses its last stores when the
        // power fails loses nothing that cannot be read again.
        if (int result = Run("PRAGMA journal_mode=WAL"); result != SQLITE_OK) {
            Failed(result);
            return;
        }
        if (int result = Run("PRAGMA synchronous=NORMAL");
            result != SQLITE_OK || (result = Run(kPageCache)) != SQLITE_OK) {
            Failed(result);
            return;
        }
        const std::optional<std::int64_t> layout = Pragma("PRAGMA user_version");
        if (!layout)
            return;
        if (*layout != kLayout && !MakeTable())
            return;
        if (!Prepare(find, "SELECT used, entry FROM descriptions WHERE path = ?1") ||
            !Prepare(put, "INSERT OR REPLACE INTO descriptions (path, used, entry) VALUES (?1, ?2, ?3)") ||
            !Prepare(touch, "UPDATE descriptions SET used = ?2 WHERE path = ?1") ||
            !Prepare(erase, "DELETE FROM descriptions WHERE path = ?1") ||
            !Prepare(evict, "DELETE FROM descriptions WHERE path IN "
                            "(SELECT path FROM descriptions ORDER BY used LIMIT ?1)") ||
            !Prepare(count, "SELECT count(*) FROM descriptions"))
            return;
        inUse = true;
        const std::optional<std::int64_t> counted = Number(count.get());
        entries = static_cast<std::size_t>(counted.value_or(0));
    }

    // The table of this layout, in place of whatever was there; another program may be doing the same.
    bool MakeTable()
    {
        if (int code = Run("BEGIN IMMEDIATE"); code != SQLITE_OK)
            return Failed(code);
        const std::optional<std::int64_t> layout = Pragma("PRAGMA user_version");
        if (!layout)
            return false;
        if (*layout != kLayout) {
            const std::string make =
                "DROP TABLE IF EXISTS descriptions;"
                // Ordered by path, so that the files of one folder share pages.
                "CREATE TABLE descriptions (path BLOB PRIMARY KEY, used INTEGER NOT NULL,"
                " entry BLOB NOT NULL) WITHOUT ROWID;"
                "PRAGMA user_version = " +
                std::to_string(kLayout);
            if (int code = Run(make.c_str()); code != SQLITE_OK)
                return Failed(code);
        }
        if (int code = Run("COMMIT"); code != SQLITE_OK)
            return Failed(code);
        return true;
    }

    std::int64_t UseStep(std::int64_t nowNs) const noexcept
    {
        return nowNs / std::max<std::int64_t>(settings.useStep.count(), 1);
    }

    // Keeps the entries and their bytes within the bound, inside the caller's write transaction.
    bool Bound()
    {
        if (entries > settings.maxEntries) {
            const std::optional<std::int64_t> counted = Number(count.get());
            if (!counted)
                return false;
            entries = static_cast<std::size_t>(*counted);
        }
        const std::optional<std::int64_t> pages = Pragma("PRAGMA page_count");
        const std::optional<std::int64_t> free = pages ? Pragma("PRAGMA freelist_count") : std::nullopt;
        const std::optional<std::int64_t> pageSize = free ? Pragma("PRAGMA page_size") : std::nullopt;
        if (!pageSize)
            return false;
        const auto bytes = static_cast<std::uint64_t>(std::max<std::int64_t>(*pages - *free, 0) * *pageSize);
        std::size_t surplus = 0;
        const std::size_t kept = settings.maxEntries - settings.maxEntries / 10;
        if (entries > settings.maxEntries)
            surplus = entries - kept;
        if (bytes > settings.maxBytes)
            surplus = std::max(surplus, entries / 10 + 1);
        if (surplus == 0)
            return true;
        sqlite3_bind_int64(evict.get(), 1, static_cast<std::int64_t>(surplus));
        const int code = sqlite3_step(evict.get());
        sqlite3_reset(evict.get());
        if (code != SQLITE_DONE)
            return Failed(code);
        entries -= std::min(entries, static_cast<std::size_t>(sqlite3_changes(db.get())));
        return true;
    }

    // Drops the entries of some paths and marks others used, in one transaction; busy or not, nothing is
    // lost that the next look-up cannot do again.
    void Tidy(const std::vector<std::filesystem::path>& drop, const std::vector<std::filesystem::path>& used,
              std::int64_t step)
    {
        if (drop.empty() && used.empty())
            return;
        if (int code = Run("BEGIN IMMEDIATE"); code != SQLITE_OK) {
            if (FaultOf(code) != Fault::Busy)
                Failed(code);
            return;
        }
        for (const std::filesystem::path& path : drop) {
            BindPath(erase.get(), path);
            const int code = sqlite3_step(erase.get());
            sqlite3_reset(erase.get());
            if (code != SQLITE_DONE) {
                Failed(code);
                return;
            }
            entries -= std::min(entries, static_cast<std::size_t>(sqlite3_changes(db.get())));
        }
        for (const std::filesystem::path& path : used) {
            BindPath(touch.get(), path);
            sqlite3_bind_int64(touch.get(), 2, step);
            const int code = sqlite3_step(touch.get());
            sqlite3_reset(touch.get());
            if (code != SQLITE_DONE) {
                Failed(code);
                return;
            }
        }
        if (int code = Run("COMMIT"); code != SQLITE_OK)
            Failed(code);
    }
    std::vector<CacheLookup> LookUp(std::span<const std::filesystem::path> paths,
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
            BindPath(find.get(), path);
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
                auto decoded = Decode(path, {entry, entrySize});
                if (!decoded)
                    Say(kDamagedEntries, "some entries of the cache of descriptions at " + Shown(file) +
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
};

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
        state_->Say(kNoFolder,
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
        if (!Consistent(entry.facts))
            continue;
        const std::filesystem::path path = Absolute(entry.path, cwd);
        const std::vector<std::uint8_t> encoded = Encode(path, entry.stamp, entry.facts);
        BindPath(put, path);
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
