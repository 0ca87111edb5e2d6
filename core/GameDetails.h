#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/Describe.h"

namespace lmp {

// The file list's game-detail columns, in the order shown.
enum class DetailColumn { Edition, RideOrPark, Excitement, Intensity, Nausea, Length, Rating, Guests, Cash };
inline constexpr std::size_t kDetailColumnCount = 9;

// The column's heading in the file list.
std::string_view DetailColumnTitle(DetailColumn column) noexcept;

// The counts of a saved game's or scenario's pane lines that have no column.
enum class ParkCount { Rides, Stalls, Staff };

// What the file list shows of one game file: the numbers behind the pane's lines and the one text
// among them, kept small so that a large collection's can be cached.
class GameDetails {
public:
    // The details of a file described with every edition accepted; all blank for a file that was not
    // described (other types, no edition determined).
    static GameDetails Of(const Description& description);

    // The cell as the pane shows its value, with the decimal mark; empty where the pane has no such line.
    std::string Text(DetailColumn column, std::string_view decimalMark) const;
    // What the column sorts by when it holds a number (the edition by its code); none for a blank cell
    // and for the ride or park.
    std::optional<std::int64_t> Number(DetailColumn column) const noexcept;
    // The count as the pane's line shows it; none but for a saved game or scenario.
    std::optional<std::int64_t> Count(ParkCount count) const noexcept;
    // The ride type of a track design and the park's name of a saved game or scenario, as the Ride / Park
    // cell shows them; empty for the other kinds.
    std::string_view RideType() const noexcept;
    std::string_view ParkName() const noexcept;

private:
    enum class Kind : std::uint8_t { None, TrackDesign, Park };

    Kind kind_ = Kind::None;
    std::int8_t edition_ = -1;
    std::uint16_t rating_ = 0;
    std::uint16_t guests_ = 0;
    std::int32_t cash_ = 0;
    std::int32_t rides_ = 0;
    std::int32_t stalls_ = 0;
    std::int32_t staff_ = 0;
    TrackDesignSummary design_{};
    std::string parkName_; // as the park's line shows it
};

// Orders two files by a column: numbers as numbers, the ride or park in natural order, descending
// when asked, and blank cells (or files without details) after the others either way. Returns a
// negative number, zero or a positive number.
int CompareDetails(const GameDetails* a, const GameDetails* b, DetailColumn column, bool descending);

// One state of a file: when any of these changes, its details must be read again.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// The details of files already read, by folder, name and stamp; beyond its capacity the least recently
// used go. A folder's path is kept once for all the entries of its files.
class DetailsCache {
public:
    static constexpr std::size_t kDefaultCapacity = 100'000;

    explicit DetailsCache(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // The number that stands for the folder at path in Find and Store; the same for the same path.
    std::uint32_t Folder(const std::filesystem::path& path);
    // The details of the file of that name (its bytes as the system stores them, UTF-8 on Windows) in the
    // folder, when they were stored for this stamp; a hit counts as a use. The pointer lasts until the
    // next Store.
    const GameDetails* Find(std::uint32_t folder, std::string_view name, const FileStamp& stamp);
    void Store(std::uint32_t folder, std::string_view name, const FileStamp& stamp, GameDetails details);
    // The details as Find gives them, taken out of the cache.
    std::optional<GameDetails> Take(std::uint32_t folder, std::string_view name, const FileStamp& stamp);
    // The same by the file's path.
    const GameDetails* Find(const std::filesystem::path& path, const FileStamp& stamp);
    void Store(const std::filesystem::path& path, const FileStamp& stamp, GameDetails details);
    std::size_t Size() const noexcept { return entries_.size(); }

private:
    struct Entry {
        std::uint32_t folder;
        std::string name;
        FileStamp stamp;
        GameDetails details;
    };
    // Views the entry's own name, so that each name is kept once.
    struct Key {
        std::uint32_t folder;
        std::string_view name;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept;
    };

    std::size_t capacity_;
    std::list<Entry> entries_; // most recently used first
    std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> byName_;
    std::unordered_map<std::filesystem::path::string_type, std::uint32_t> folders_;
};

} // namespace lmp
