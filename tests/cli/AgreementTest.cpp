// The structured formats must say what the text says. A folder of generated files (random fields of
// every type and edition, unmatched checksums, the sample folder in a subfolder) is described three
// times; the text lines are read back with patterns of their own and compared with every JSON record,
// and every CSV row with its JSON record.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "TestSupport.h"
#include "cli/Lmpinfo.h"
#include "testkit/GameFiles.h"
#include "tools/SampleFolder.h"

namespace lmp::cli {
namespace {
namespace fs = std::filesystem;
using Json = nlohmann::json;

// Random fields, each drawn over its whole stored range so that large and negative values occur.
class FileMaker {
public:
    explicit FileMaker(std::uint32_t seed) : random_(seed) {}

    int Draw(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    testkit::TrackDesignFields Design()
    {
        return {.rideType = Byte(),
                .lengthMetres = Word(),
                .excitement = Byte(),
                .intensity = Byte(),
                .nausea = Byte()};
    }

    testkit::ParkFields Park()
    {
        testkit::ParkFields park;
        const int nameLength = Draw(0, 32);
        for (int i = 0; i < nameLength; ++i) // printable ASCII and Latin-1
            park.name += static_cast<char>(Draw(0, 1) == 0 ? Draw(0x20, 0x7E) : Draw(0xA0, 0xFF));
        park.slot = Word();
        park.goalType = static_cast<std::uint8_t>(Draw(0, 11));
        park.goalYears = Byte();
        park.goalAmount = Draw(-2000000000, 2000000000);
        park.goalCount = Word();
        park.monthWord = Word();
        park.dayWord = Word();
        park.rating = Word();
        park.cash = Draw(-2000000000, 2000000000);
        park.guests = Word();
        const int rides = Draw(0, 30);
        for (int i = 0; i < rides; ++i)
            park.rides.push_back({Byte(), Draw(0, 2) != 0, Word(), Word(), Word()});
        park.staff = Draw(0, 40);
        park.otherPeople = Draw(0, 40);
        return park;
    }

    std::int32_t Edition() { return Draw(-1, 2); }

private:
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Draw(0, 255)); }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Draw(0, 65535)); }

    std::mt19937 random_;
};

void WriteGeneratedFolder(const fs::path& folder)
{
    FileMaker maker(20240611);
    fs::create_directories(folder / "parks");
    for (int i = 0; i < 60; ++i)
        testkit::WriteFile(folder / ("design " + std::to_string(i) + ".TD4"),
                           testkit::MakeTrackDesignFile(maker.Design(), maker.Edition()));
    // Parks cost a decoding of 2 MB each: two of each type and edition, no edition (-1) included.
    for (int i = 0; i < 16; ++i) {
        const FileType type = i % 2 == 0 ? FileType::SavedGame : FileType::Scenario;
        testkit::WriteFile(folder / "parks" / ("park " + std::to_string(i) + (i % 2 == 0 ? ".SV4" : ".SC4")),
                           testkit::MakeParkFile(maker.Park(), type, i / 2 % 4 - 1));
    }
    tools::WriteSampleFolder(folder / "samples");
}

std::string Describe(const std::vector<std::string>& paths, OutputFormat format,
                     std::optional<std::int32_t> edition)
{
    Options options;
    options.paths = paths;
    options.recursive = true;
    options.format = format;
    options.edition = edition;
    std::ostringstream out, err;
    EXPECT_EQ(Run(options, ".", out, err), kExitOk);
    EXPECT_EQ(err.str(), "");
    return out.str();
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& end)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at = text.find(end); at != std::string::npos; at = text.find(end, start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    EXPECT_EQ(start, text.size()) << "text does not end with a line end";
    return lines;
}

// Digits of a grouped or plain number, as a number: "1,234" is 1234, "-1,234" is -1234.
long long Number(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return std::stoll(text);
}

// "6.70" as hundredths, 670; a JSON decimal the same way.
long long Hundredths(const std::string& text)
{
    const std::size_t point = text.find('.');
    return std::stoll(text.substr(0, point)) * 100 + std::stoll(text.substr(point + 1, 2));
}
long long Hundredths(const Json& value)
{
    return std::llround(value.get<double>() * 100.0);
}

// Reads the lines of one file back against its record, advancing line.
void ExpectTextAgrees(const Json& record, const std::vector<std::string>& lines, std::size_t& line)
{
    SCOPED_TRACE(record.dump());
    const auto next = [&](const char* pattern) {
        std::smatch match;
        const std::string& text = line < lines.size() ? lines[line] : std::string();
        EXPECT_TRUE(std::regex_match(text, match, std::regex(pattern))) << text << " !~ " << pattern;
        ++line;
        std::vector<std::string> groups;
        for (std::size_t i = 1; i < match.size(); ++i)
            groups.push_back(match[i]);
        groups.resize(5);
        return groups;
    };
    if (line < lines.size() && lines[line] == std::string(kSeparatorLine))
        ++line;
    if (record["edition"] == -1) {
        next("cannot determine file version!");
        EXPECT_FALSE(record.contains("edition_label"));
        return;
    }
    EXPECT_EQ(next("File Name : (.*)")[0], record["file_name"]);
    EXPECT_EQ(next("   Version: (.*)")[0], record["edition_label"]);
    if (record["type"] == "track design") {
        EXPECT_EQ(next("      Type: (.*)")[0], record["ride_type_name"]);
        EXPECT_EQ(Hundredths(next("Excitement: (\\d+\\.\\d\\d)")[0]), Hundredths(record["excitement"]));
        EXPECT_EQ(Hundredths(next(" Intensity: (\\d+\\.\\d\\d)")[0]), Hundredths(record["intensity"]));
        EXPECT_EQ(Hundredths(next("    Nausea: (\\d+\\.\\d\\d)")[0]), Hundredths(record["nausea"]));
        const auto length = next("    Length: ([\\d,]+) ft, \\(([\\d,]+) meters\\)");
        EXPECT_EQ(Number(length[0]), record["length_feet"]);
        EXPECT_EQ(Number(length[1]), record["length_metres"]);
        return;
    }
    if (record["type"] == "scenario") {
        const auto name = next("  Scenario: (.*)  ; slot #(\\d+)");
        EXPECT_EQ(name[0], record["park_name"]);
        EXPECT_EQ(Number(name[1]), record["slot"]);
        EXPECT_EQ(next("      Goal: (.*)")[0], record["goal"]);
    } else {
        EXPECT_EQ(next("  Scenario: (.*)")[0], record["park_name"]);
        EXPECT_FALSE(record.contains("slot") || record.contains("goal_type"));
    }
    const auto date = next("      Date: ([A-Za-z]+) (\\d+), year (\\d+)");
    EXPECT_EQ(date[0], record["month"]);
    EXPECT_EQ(Number(date[1]), record["day"]);
    EXPECT_EQ(Number(date[2]), record["year"]);
    EXPECT_EQ(Number(next("    Rating: (\\d+)")[0]), record["park_rating"]);
    EXPECT_EQ(Number(next("      Cash: \\$(-?[\\d,]+)")[0]), record["cash"]);
    const auto counts = next("    #Rides: (\\d+),  #Stalls: (\\d+)");
    EXPECT_EQ(Number(counts[0]), record["rides"]);
    EXPECT_EQ(Number(counts[1]), record["stalls"]);
    EXPECT_EQ(Hundredths(next("Avg Excite: (\\d+\\.\\d\\d)")[0]), Hundredths(record["average_excitement"]));
    EXPECT_EQ(Hundredths(next("Avg Intens: (\\d+\\.\\d\\d)")[0]), Hundredths(record["average_intensity"]));
    EXPECT_EQ(Hundredths(next("Avg Nausea: (\\d+\\.\\d\\d)")[0]), Hundredths(record["average_nausea"]));
    const auto people = next("   #Guests: ([\\d,]+) ,  #Staff: (\\d+)");
    EXPECT_EQ(Number(people[0]), record["guests"]);
    EXPECT_EQ(Number(people[1]), record["staff"]);
}

// RFC 4180 fields of one row (no line ends inside fields in these files).
std::vector<std::string> CsvFields(const std::string& row)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

void ExpectCsvAgrees(const Json& record, const std::vector<std::string>& header, const std::string& row)
{
    SCOPED_TRACE(row);
    const std::vector<std::string> fields = CsvFields(row);
    ASSERT_EQ(fields.size(), header.size());
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (!record.contains(header[i]))
            EXPECT_EQ(fields[i], "") << header[i];
        else if (record[header[i]].is_string())
            EXPECT_EQ(fields[i], record[header[i]].get<std::string>()) << header[i];
        else
            EXPECT_EQ(fields[i], record[header[i]].dump()) << header[i];
    }
}

TEST(StructuredOutput, AgreesWithTheTextForEveryFileOfAGeneratedFolderUnderEveryEditionChoice)
{
    const test::TempFolder folder;
    WriteGeneratedFolder(folder.Path());
    const std::vector<std::string> paths = {folder.Path().string()};
    for (const std::optional<std::int32_t> edition :
         {std::optional<std::int32_t>(), std::optional<std::int32_t>(0), std::optional<std::int32_t>(1),
          std::optional<std::int32_t>(2)}) {
        SCOPED_TRACE(edition ? "edition " + std::to_string(*edition) : "every edition");
        const std::vector<std::string> text = SplitLines(Describe(paths, OutputFormat::Text, edition), "\n");
        const std::vector<std::string> json = SplitLines(Describe(paths, OutputFormat::Json, edition), "\n");
        const std::vector<std::string> csv = SplitLines(Describe(paths, OutputFormat::Csv, edition), "\r\n");
        ASSERT_FALSE(csv.empty());
        const std::vector<std::string> header = CsvFields(csv[0]);
        ASSERT_EQ(csv.size(), json.size() + 1);
        ASSERT_GT(json.size(), 10u);

        std::size_t line = 0;
        std::set<std::string> types;
        for (std::size_t i = 0; i < json.size(); ++i) {
            const Json record = Json::parse(json[i]);
            types.insert(record["type"].get<std::string>() + " " + record["edition"].dump());
            ExpectTextAgrees(record, text, line);
            ExpectCsvAgrees(record, header, csv[i + 1]);
        }
        EXPECT_EQ(line, text.size()) << "text lines without a record";
        // Every type shows up with the chosen edition, or with each edition and with none.
        for (const char* type : {"track design", "saved game", "scenario"}) {
            for (int e = -1; e <= 2; ++e) {
                if (!edition || *edition == e) {
                    EXPECT_EQ(types.count(std::string(type) + " " + std::to_string(e)), 1u)
                        << type << " " << e;
                }
            }
        }
    }
}

} // namespace
} // namespace lmp::cli
