#include "cli/Record.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "core/Edition.h"
#include "core/Utf8.h"

namespace lmp::cli {
namespace fs = std::filesystem;

namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<std::string_view, kColumnCount> kColumnNames = {
    "path",
    "file_name",
    "type",
    "edition",
    "edition_label",
    "ride_type",
    "ride_type_name",
    "excitement",
    "intensity",
    "nausea",
    "length_metres",
    "length_feet",
    "park_name",
    "slot",
    "goal_type",
    "goal",
    "goal_guests",
    "goal_years",
    "goal_money",
    "goal_excitement",
    "goal_length_metres",
    "goal_length_feet",
    "year",
    "month",
    "day",
    "park_rating",
    "cash",
    "rides",
    "stalls",
    "average_excitement",
    "average_intensity",
    "average_nausea",
    "guests",
    "staff",
    "error",
};

std::string_view TypeName(FileType type) noexcept
{
    switch (type) {
    case FileType::TrackDesign:
        return "track design";
    case FileType::SavedGame:
        return "saved game";
    case FileType::Scenario:
        return "scenario";
    case FileType::None:
        break;
    }
    return "other";
}

// On Windows u8string converts from UTF-16; elsewhere it is the name's bytes, which need not be UTF-8.
std::string Utf8Of(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return ToValidUtf8(std::string(text.begin(), text.end()));
}

Record Head(const fs::path& path, FileType& type)
{
    Record record;
    record[Column::Path] = Utf8Of(path);
    const std::string name = Utf8Of(path.filename());
    type = FileTypeOfName(name);
    record[Column::FileName] = name;
    record[Column::Type] = std::string(TypeName(type));
    return record;
}

// A rating or average: the stored integer as the game's single-precision real, as the lines show it.
Decimal Rating(std::int64_t raw, int scale) noexcept
{
    return DecimalOfSingle(static_cast<std::int32_t>(raw), scale);
}

void AddTrackDesign(Record& record, const TrackDesignSummary& design)
{
    record[Column::RideType] = std::int64_t{design.rideType};
    record[Column::RideTypeName] = std::string(RideTypeName(design.rideType));
    record[Column::Excitement] = Rating(design.excitement, 1);
    record[Column::Intensity] = Rating(design.intensity, 1);
    record[Column::Nausea] = Rating(design.nausea, 1);
    record[Column::LengthMetres] = std::int64_t{design.lengthMetres};
    record[Column::LengthFeet] = std::int64_t{FeetOfMetres(design.lengthMetres)};
}

// The figures that the goal text of the goal type is made of, in the units the text shows.
void AddGoal(Record& record, const ParkSummary& park)
{
    record[Column::GoalType] = std::int64_t{park.goalType};
    // Structured output does not follow the locale: the decimal mark of the goal text is always ".".
    record[Column::Goal] = GoalText(park, ".");
    switch (park.goalType) {
    case 1:
        record[Column::GoalGuests] = std::int64_t{park.goalCount};
        record[Column::GoalYears] = std::int64_t{park.goalYears};
        break;
    case 6:
        record[Column::GoalGuests] = std::int64_t{park.goalCount};
        break;
    case 2:
    case 7:
        record[Column::GoalMoney] = std::int64_t{park.goalAmount / 10};
        break;
    case 8:
        record[Column::GoalLengthMetres] = std::int64_t{park.goalCount};
        record[Column::GoalLengthFeet] = std::int64_t{FeetOfMetres(park.goalCount)};
        break;
    case 9:
        record[Column::GoalExcitement] = Rating(park.goalAmount, 2);
        break;
    default:
        break;
    }
}

void AddPark(Record& record, const ParkSummary& park)
{
    record[Column::ParkName] = ToValidUtf8(park.name);
    if (park.scenario) {
        record[Column::Slot] = std::int64_t{park.slot};
        AddGoal(record, park);
    }
    record[Column::Year] = std::int64_t{park.year};
    record[Column::Month] = std::string(MonthName(park.monthIndex));
    record[Column::Day] = std::int64_t{park.day};
    record[Column::ParkRating] = std::int64_t{park.rating};
    // Whole units, truncated toward zero as the cash line shows them.
    record[Column::Cash] = std::int64_t{park.cash / 10};
    record[Column::Rides] = std::int64_t{park.rides};
    record[Column::Stalls] = std::int64_t{park.stalls};
    record[Column::AverageExcitement] = Rating(park.averageExcitement, 2);
    record[Column::AverageIntensity] = Rating(park.averageIntensity, 2);
    record[Column::AverageNausea] = Rating(park.averageNausea, 2);
    record[Column::Guests] = std::int64_t{park.guests};
    record[Column::Staff] = std::int64_t{park.staff};
}

double DoubleOf(Decimal value) noexcept
{
    double divisor = 1.0;
    for (int i = 0; i < value.scale; ++i)
        divisor *= 10.0;
    // One correctly rounded division gives the double nearest to the decimal, which the JSON
    // printer's shortest round-trip form writes back as that decimal.
    return static_cast<double>(value.units) / divisor;
}

// The JSON printer writes DEL, the C1 controls, U+2028/U+2029 and the bidirectional controls as they
// are (valid JSON that line-oriented readers and terminals still take for breaks, commands or a
// reordering) and five C0 controls as short escapes; every one of them becomes \uXXXX, which means the
// same character. They can stand only inside
// strings, and a backslash there always starts an escape.
std::string EscapeUnsafeCharacters(std::string_view json)
{
    static constexpr std::string_view kShort = "btnfr", kShortOf = "\b\t\n\f\r";
    std::string escaped;
    escaped.reserve(json.size());
    const auto escape = [&](char32_t c) {
        static constexpr char kHex[] = "0123456789abcdef";
        escaped += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            escaped += kHex[(c >> shift) & 0xF];
    };
    std::size_t pos = 0;
    while (pos < json.size()) {
        if (json[pos] == '\\' && pos + 1 < json.size()) {
            const std::size_t shortForm = kShort.find(json[pos + 1]);
            if (shortForm != std::string_view::npos)
                escape(static_cast<unsigned char>(kShortOf[shortForm]));
            else
                escaped.append(json.substr(pos, 2));
            pos += 2;
            continue;
        }
        // The printer replaced every stray byte, so a sequence of one byte is ASCII.
        const std::size_t length = std::max<std::size_t>(WellFormedLength(json, pos), 1);
        const char32_t c = CodePointAt(json, pos, length);
        if (IsUnsafeCharacter(c))
            escape(c);
        else
            escaped.append(json.substr(pos, length));
        pos += length;
    }
    return escaped;
}

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

} // namespace

const std::array<std::string_view, kColumnCount>& ColumnNames() noexcept
{
    return kColumnNames;
}

Record DescribedRecord(const fs::path& path, const Description& description)
{
    FileType type = FileType::None;
    Record record = Head(path, type);
    record[Column::Edition] = std::int64_t{description.edition};
    if (description.edition != kNoEdition)
        record[Column::EditionLabel] = std::string(EditionLabel(type, description.edition));
    if (const auto* design = std::get_if<TrackDesignSummary>(&description.summary))
        AddTrackDesign(record, *design);
    if (const auto* park = std::get_if<ParkSummary>(&description.summary))
        AddPark(record, *park);
    return record;
}

Record ErrorRecord(const fs::path& path, std::string_view message)
{
    FileType type = FileType::None;
    Record record = Head(path, type);
    record[Column::Error] = ToValidUtf8(message);
    return record;
}

std::string DecimalText(Decimal value)
{
    return Json(DoubleOf(value)).dump();
}

std::string JsonLine(const Record& record)
{
    Json object = Json::object();
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        const std::string key(kColumnNames[i]);
        std::visit(
            [&](const auto& value) {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, Decimal>)
                    object[key] = DoubleOf(value);
                else if constexpr (!std::is_same_v<T, std::monostate>)
                    object[key] = value;
            },
            record[static_cast<Column>(i)]);
    }
    // Every text is valid UTF-8 already; replacing keeps one stray byte from ending the run.
    return EscapeUnsafeCharacters(object.dump(-1, ' ', false, Json::error_handler_t::replace)) + "\n";
}

std::string CsvHeaderRow()
{
    std::string row;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        if (i > 0)
            row += ',';
        row += kColumnNames[i];
    }
    return row + "\r\n";
}

std::string CsvRow(const Record& record)
{
    std::string row;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        if (i > 0)
            row += ',';
        std::visit(
            [&](const auto& value) {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, std::int64_t>)
                    row += std::to_string(value);
                else if constexpr (std::is_same_v<T, Decimal>)
                    row += DecimalText(value);
                else if constexpr (std::is_same_v<T, std::string>)
                    row += CsvField(value);
            },
            record[static_cast<Column>(i)]);
    }
    return row + "\r\n";
}

} // namespace lmp::cli
