#include "scan/CacheDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "core/Utf8.h"
#include "scan/CacheEntryCodec.h"

namespace lmp::cache {

namespace {

// The layout of the entries (PRAGMA user_version): a cache of another layout is emptied.
constexpr int kLayout = 1;
constexpr const char* kAsideSuffix = ".corrupt";

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

} // namespace

void CloseDatabase::operator()(sqlite3* db) const noexcept
{
    sqlite3_close_v2(db);
}

void FinishStatement::operator()(sqlite3_stmt* statement) const noexcept
{
    sqlite3_finalize(statement);
}

std::string ShownPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return SafeText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

void BindPath(sqlite3_stmt* statement, const std::filesystem::path& path)
{
    const std::span<const std::uint8_t> bytes = PathBytes(path);
    sqlite3_bind_blob(statement, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

void CacheDatabase::Say(Notice notice, std::string text)
{
    if ((said & notice) != 0)
        return;
    said |= notice;
    notices.push_back(std::move(text));
}

void CacheDatabase::Close() noexcept
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

void CacheDatabase::GiveUp(std::string_view reason)
{
    Close();
    Say(kCannotUse, "the cache of descriptions at " + ShownPath(file) + " cannot be used (" +
                        std::string(reason) + "); files are described without it");
}

bool CacheDatabase::Failed(int code)
{
    if (db && sqlite3_get_autocommit(db.get()) == 0)
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    switch (FaultOf(code)) {
    case Fault::Busy:
        Say(kBusy, "the cache of descriptions at " + ShownPath(file) +
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

void CacheDatabase::StartAnew()
{
    Say(kMoved,
        "the cache of descriptions at " + ShownPath(file) + " was removed while in use; started anew");
    Close();
    Open();
}

bool CacheDatabase::Moved() const
{
    std::error_code error;
    const std::optional<sys::FileStamp> now = sys::StampOfFile(file, error);
    return !now || !openedStamp || now->inode != openedStamp->inode || now->device != openedStamp->device;
}

void CacheDatabase::SetAsideAndOpen()
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
    Say(kSetAside, "the cache of descriptions at " + ShownPath(file) + " was damaged; it was set aside as " +
                       ShownPath(aside) + " and started anew");
    Open();
}

bool CacheDatabase::Prepare(Statement& statement, const char* sql)
{
    sqlite3_stmt* prepared = nullptr;
    const int code = sqlite3_prepare_v3(db.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
    statement.reset(prepared);
    // A statement that does not fit the table: a table of this layout's name and number but not its
    // shape.
    return code == SQLITE_OK || Failed(code == SQLITE_ERROR ? SQLITE_CORRUPT : code);
}

std::optional<std::int64_t> CacheDatabase::Number(sqlite3_stmt* statement)
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

std::optional<std::int64_t> CacheDatabase::Pragma(const char* sql)
{
    Statement statement;
    if (!Prepare(statement, sql))
        return std::nullopt;
    return Number(statement.get());
}

int CacheDatabase::Run(const char* sql)
{
    return sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr);
}

void CacheDatabase::Open()
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
        result != SQLITE_OK ||
        (result = Run(("PRAGMA cache_size=-" + std::to_string(settings.pageCacheKiB)).c_str())) !=
            SQLITE_OK) {
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
}

bool CacheDatabase::MakeTable()
{
    if (int code = Run("BEGIN IMMEDIATE"); code != SQLITE_OK)
        return Failed(code);
    const std::optional<std::int64_t> layout = Pragma("PRAGMA user_version");
    if (!layout)
        return false;
    if (*layout != kLayout) {
        const std::string make = "DROP TABLE IF EXISTS descriptions;"
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

std::int64_t CacheDatabase::UseStep(std::int64_t nowNs) const noexcept
{
    return nowNs / std::max<std::int64_t>(settings.useStep.count(), 1);
}

bool CacheDatabase::Bound()
{
    // Counted when first needed, not on opening: counting reads every page of the table.
    if (!counted || entries > settings.maxEntries) {
        const std::optional<std::int64_t> number = Number(count.get());
        if (!number)
            return false;
        entries = static_cast<std::size_t>(*number);
        counted = true;
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

void CacheDatabase::Tidy(const std::vector<std::filesystem::path>& drop,
                         const std::vector<std::filesystem::path>& used, std::int64_t step)
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

} // namespace lmp::cache
