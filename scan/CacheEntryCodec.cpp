#include "scan/CacheEntryCodec.h"

#include <string>
#include <string_view>
#include <type_traits>

namespace lmp::cache {

namespace {

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

} // namespace

std::span<const std::uint8_t> PathBytes(const std::filesystem::path& path) noexcept
{
    const auto& native = path.native();
    return {reinterpret_cast<const std::uint8_t*>(native.data()), native.size() * sizeof(native[0])};
}

std::vector<std::uint8_t> EncodeEntry(const std::filesystem::path& path, const sys::FileStamp& stamp,
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
    hash.Add(PathBytes(path));
    hash.Add(out.Bytes());
    out.Put(hash.Value());
    return std::move(out.Bytes());
}

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

std::optional<std::pair<sys::FileStamp, DescriptionFacts>> DecodeEntry(const std::filesystem::path& path,
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
    hash.Add(PathBytes(path));
    hash.Add(entry.first(in.Offset()));
    std::uint64_t stored = 0;
    if (!read || !in.Get(stored) || stored != hash.Value() || in.Offset() != entry.size() ||
        !Consistent(facts))
        return std::nullopt;
    return std::pair{stamp, std::move(facts)};
}

} // namespace lmp::cache
