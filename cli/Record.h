#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

#include "core/Describe.h"
#include "core/NumberFormat.h"

namespace lmp::cli {

// The fields of lmpinfo's structured output, in the order of the CSV columns and of the JSON keys.
enum class Column : std::size_t {
    Path,
    FileName,
    Type,
    Edition,
    EditionLabel,
    RideType,
    RideTypeName,
    Excitement,
    Intensity,
    Nausea,
    LengthMetres,
    LengthFeet,
    ParkName,
    Slot,
    GoalType,
    Goal,
    GoalGuests,
    GoalYears,
    GoalMoney,
    GoalExcitement,
    GoalLengthMetres,
    GoalLengthFeet,
    Year,
    Month,
    Day,
    ParkRating,
    Cash,
    Rides,
    Stalls,
    AverageExcitement,
    AverageIntensity,
    AverageNausea,
    Guests,
    Staff,
    Error,
    Count
};
inline constexpr std::size_t kColumnCount = static_cast<std::size_t>(Column::Count);

// The names of the fields, as CSV header and JSON keys.
const std::array<std::string_view, kColumnCount>& ColumnNames() noexcept;

// A field's value: absent (no JSON key, an empty CSV field), a whole number, an exact decimal or
// UTF-8 text.
using Value = std::variant<std::monostate, std::int64_t, Decimal, std::string>;

// One file's fields.
class Record {
public:
    Value& operator[](Column column) noexcept { return values_[static_cast<std::size_t>(column)]; }
    const Value& operator[](Column column) const noexcept
    {
        return values_[static_cast<std::size_t>(column)];
    }

private:
    std::array<Value, kColumnCount> values_;
};

// The record of a file that DescribeFile described (its lines not empty): the summary's numbers, or
// edition -1 without label when no edition rule matched. Paths and names that are not valid UTF-8
// get U+FFFD for each stray byte.
Record DescribedRecord(const std::filesystem::path& path, const Description& description);

// The record of a path that could not be described: path, file name, type and the message.
Record ErrorRecord(const std::filesystem::path& path, std::string_view message);

// The text of a decimal in structured output: the shortest that reads back as the same double, at
// least one digit after the point ("6.7", "10.0", "0.05").
std::string DecimalText(Decimal value);

// The record as one JSON object on one line (with "\n"), absent fields left out. Texts keep their
// characters, but the C0 controls, DEL, the C1 controls, U+2028/U+2029 and the bidirectional controls
// (IsUnsafeCharacter) are escaped as \uXXXX (\u000a, \u0085, \u2028, \u202e), so no reader splits a
// record, no terminal acts on one and no name shows reordered.
std::string JsonLine(const Record& record);

// The CSV header row and one record's row (RFC 4180: "," between fields, a field holding ",", '"',
// CR or LF in double quotes with its quotes doubled, each row ending with CRLF). Texts are carried as
// they are, control characters included.
std::string CsvHeaderRow();
std::string CsvRow(const Record& record);

} // namespace lmp::cli
