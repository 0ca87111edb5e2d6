#include "core/GameDetails.h"

#include <array>

#include "core/NaturalOrder.h"
#include "core/NumberFormat.h"

namespace lmp {
namespace {

constexpr std::array<std::string_view, kDetailColumnCount> kTitles = {
    "Edition", "Ride / Park", "Excitement", "Intensity", "Nausea", "Length", "Rating", "Guests", "Cash"};
constexpr std::array<std::string_view, 3> kEditionNames = {"Original", "VJ/EM", "QQ"};
constexpr std::string_view kParkNamePrefix = "  Scenario: ";

// The park's name as its line shows it: the line without its label and, for a scenario, its slot.
std::string ParkNameOf(const Description& description, const ParkSummary& park)
{
    for (const std::string& line : description.lines) {
        if (!line.starts_with(kParkNamePrefix))
            continue;
        std::string_view name = std::string_view(line).substr(kParkNamePrefix.size());
        const std::string slot = "  ; slot #" + PlainDecimal(park.slot);
        if (park.scenario && name.ends_with(slot))
            name.remove_suffix(slot.size());
        return std::string(name);
    }
    return {};
}

} // namespace

std::string_view DetailColumnTitle(DetailColumn column) noexcept
{
    return kTitles[static_cast<std::size_t>(column)];
}

GameDetails GameDetails::Of(const Description& description)
{
    GameDetails details;
    if (description.edition == kNoEdition || description.lines.empty())
        return details;
    if (const auto* design = std::get_if<TrackDesignSummary>(&description.summary)) {
        details.kind_ = Kind::TrackDesign;
        details.design_ = *design;
    } else if (const auto* park = std::get_if<ParkSummary>(&description.summary)) {
        details.kind_ = Kind::Park;
        details.rating_ = park->rating;
        details.guests_ = park->guests;
        details.cash_ = park->cash;
        details.rides_ = park->rides;
        details.stalls_ = park->stalls;
        details.staff_ = park->staff;
        details.parkName_ = ParkNameOf(description, *park);
    } else {
        return details;
    }
    details.edition_ = static_cast<std::int8_t>(description.edition);
    return details;
}

std::string GameDetails::Text(DetailColumn column, std::string_view decimalMark) const
{
    const bool design = kind_ == Kind::TrackDesign;
    const bool park = kind_ == Kind::Park;
    switch (column) {
    case DetailColumn::Edition:
        return kind_ != Kind::None ? std::string(kEditionNames.at(static_cast<std::size_t>(edition_))) : "";
    case DetailColumn::RideOrPark:
        return design ? std::string(RideTypeName(design_.rideType)) : parkName_;
    case DetailColumn::Excitement:
        return design ? RatingText(design_.excitement, decimalMark) : "";
    case DetailColumn::Intensity:
        return design ? RatingText(design_.intensity, decimalMark) : "";
    case DetailColumn::Nausea:
        return design ? RatingText(design_.nausea, decimalMark) : "";
    case DetailColumn::Length:
        return design ? FormatFeet(design_.lengthMetres) + " ft" : "";
    case DetailColumn::Rating:
        return park ? PlainDecimal(rating_) : "";
    case DetailColumn::Guests:
        return park ? FormatGrouped(guests_) : "";
    case DetailColumn::Cash: {
        if (!park)
            return {};
        // Appended rather than "$" + text: GCC 12's -Wrestrict misreads that at -O3.
        std::string text(1, '$');
        text += FormatMoney(cash_);
        return text;
    }
    }
    return {};
}

std::optional<std::int64_t> GameDetails::Number(DetailColumn column) const noexcept
{
    const bool design = kind_ == Kind::TrackDesign;
    const bool park = kind_ == Kind::Park;
    switch (column) {
    case DetailColumn::Edition:
        return kind_ != Kind::None ? std::optional<std::int64_t>(edition_) : std::nullopt;
    case DetailColumn::RideOrPark:
        return std::nullopt;
    case DetailColumn::Excitement:
        return design ? std::optional<std::int64_t>(design_.excitement) : std::nullopt;
    case DetailColumn::Intensity:
        return design ? std::optional<std::int64_t>(design_.intensity) : std::nullopt;
    case DetailColumn::Nausea:
        return design ? std::optional<std::int64_t>(design_.nausea) : std::nullopt;
    case DetailColumn::Length:
        return design ? std::optional<std::int64_t>(FeetOfMetres(design_.lengthMetres)) : std::nullopt;
    case DetailColumn::Rating:
        return park ? std::optional<std::int64_t>(rating_) : std::nullopt;
    case DetailColumn::Guests:
        return park ? std::optional<std::int64_t>(guests_) : std::nullopt;
    case DetailColumn::Cash:
        return park ? std::optional<std::int64_t>(cash_) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::int64_t> GameDetails::Count(ParkCount count) const noexcept
{
    if (kind_ != Kind::Park)
        return std::nullopt;
    switch (count) {
    case ParkCount::Rides:
        return rides_;
    case ParkCount::Stalls:
        return stalls_;
    case ParkCount::Staff:
        return staff_;
    }
    return std::nullopt;
}

std::string_view GameDetails::RideType() const noexcept
{
    return kind_ == Kind::TrackDesign ? RideTypeName(design_.rideType) : std::string_view();
}

std::string_view GameDetails::ParkName() const noexcept
{
    return kind_ == Kind::Park ? std::string_view(parkName_) : std::string_view();
}

int CompareDetails(const GameDetails* a, const GameDetails* b, DetailColumn column, bool descending)
{
    const bool textual = column == DetailColumn::RideOrPark;
    const std::string textA = a != nullptr && textual ? a->Text(column, ".") : "";
    const std::string textB = b != nullptr && textual ? b->Text(column, ".") : "";
    const std::optional<std::int64_t> numberA = a != nullptr ? a->Number(column) : std::nullopt;
    const std::optional<std::int64_t> numberB = b != nullptr ? b->Number(column) : std::nullopt;
    const bool blankA = textual ? textA.empty() : !numberA;
    const bool blankB = textual ? textB.empty() : !numberB;
    if (blankA || blankB)
        return static_cast<int>(blankA) - static_cast<int>(blankB);
    const int order = textual ? CompareNatural(textA, textB) : (*numberA > *numberB) - (*numberA < *numberB);
    return descending ? -order : order;
}

std::size_t DetailsCache::KeyHash::operator()(const Key& key) const noexcept
{
    return std::hash<std::string_view>{}(key.name) ^ (std::size_t{key.folder} * 0x9E3779B97F4A7C15ull);
}

std::uint32_t DetailsCache::Folder(const std::filesystem::path& path)
{
    return folders_.try_emplace(path.native(), static_cast<std::uint32_t>(folders_.size())).first->second;
}

const GameDetails* DetailsCache::Find(std::uint32_t folder, std::string_view name, const FileStamp& stamp)
{
    const auto found = byName_.find(Key{folder, name});
    if (found == byName_.end() || found->second->stamp != stamp)
        return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    return &found->second->details;
}

std::optional<GameDetails> DetailsCache::Take(std::uint32_t folder, std::string_view name,
                                              const FileStamp& stamp)
{
    const auto found = byName_.find(Key{folder, name});
    if (found == byName_.end() || found->second->stamp != stamp)
        return std::nullopt;
    const std::list<Entry>::iterator entry = found->second;
    std::optional<GameDetails> details = std::move(entry->details);
    byName_.erase(found);
    entries_.erase(entry);
    return details;
}

void DetailsCache::Store(std::uint32_t folder, std::string_view name, const FileStamp& stamp,
                         GameDetails details)
{
    if (capacity_ == 0)
        return;
    const auto found = byName_.find(Key{folder, name});
    if (found != byName_.end()) {
        found->second->stamp = stamp;
        found->second->details = std::move(details);
        entries_.splice(entries_.begin(), entries_, found->second);
        return;
    }
    if (entries_.size() == capacity_) {
        byName_.erase(Key{entries_.back().folder, entries_.back().name});
        entries_.pop_back();
    }
    entries_.push_front({folder, std::string(name), stamp, std::move(details)});
    byName_.emplace(Key{folder, entries_.front().name}, entries_.begin());
}

namespace {

std::string NameBytes(const std::filesystem::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

} // namespace

const GameDetails* DetailsCache::Find(const std::filesystem::path& path, const FileStamp& stamp)
{
    return Find(Folder(path.parent_path()), NameBytes(path), stamp);
}

void DetailsCache::Store(const std::filesystem::path& path, const FileStamp& stamp, GameDetails details)
{
    Store(Folder(path.parent_path()), NameBytes(path), stamp, std::move(details));
}

} // namespace lmp
