// The query reader over any text. A query is either read or refused with a QueryError whose message
// is one short line fit to show and whose term lies inside the text; a query that is read matches a
// few files of each kind (and a name made of the text itself) consistently: what the name and size
// decide agrees with the full match, and blanks around the query or every term given twice change
// nothing.
#include <array>
#include <string>

#include "core/Query.h"
#include "fuzz/DescribeSupport.h"
#include "testkit/GameFiles.h"

namespace {

using lmp::fuzz::Require;
namespace kit = lmp::testkit;

struct Files {
    std::array<lmp::GameDetails, 4> details;
    std::array<std::string_view, 5> names = {"Wooden.TD4", "Harbour.SV4", "Coaster 1.sc4", "Wooden.TP4", ""};
};

const Files& TheFiles()
{
    static const Files files = [] {
        kit::ParkFields park;
        park.name = "For\xCAt Coaster";
        park.cash = -12345;
        park.guests = 1000;
        park.rides = {{0}, {28}};
        park.staff = 3;
        Files made;
        made.details = {
            lmp::GameDetails::Of(lmp::DescribeBytes(
                "Wooden.TD4", kit::MakeTrackDesignFile({0, false, 300, 72, 55, 40}, 1), {})),
            lmp::GameDetails::Of(
                lmp::DescribeBytes("Harbour.SV4", kit::MakeParkFile(park, lmp::FileType::SavedGame, 0), {})),
            lmp::GameDetails::Of(
                lmp::DescribeBytes("Coaster 1.sc4", kit::MakeParkFile(park, lmp::FileType::Scenario, 2), {})),
            lmp::GameDetails(),
        };
        return made;
    }();
    return files;
}

void CheckRefusal(const lmp::QueryError& error, std::string_view text)
{
    const std::string_view message = error.what();
    Require(!message.empty() && message.size() <= 600, "a message of one short line");
    Require(lmp::fuzz::ShowsAsItIs(message), "a message fit to show");
    Require(error.Length() > 0 && error.Position() <= text.size() &&
                error.Length() <= text.size() - error.Position(),
            "the term lies inside the query");
}

void CheckMatches(const lmp::Query& query, std::string_view text)
{
    const Files& files = TheFiles();
    const lmp::Query padded(" \t" + std::string(text) + "\n ");
    const lmp::Query twice(std::string(text) + " " + std::string(text));
    const std::string_view own = text.substr(0, 64);
    for (std::size_t n = 0; n <= files.names.size(); ++n) {
        const std::string_view name = n < files.names.size() ? files.names[n] : own;
        for (const std::uint64_t size : {std::uint64_t{0}, std::uint64_t{1000}, ~std::uint64_t{0}}) {
            const std::optional<bool> early = query.MatchesWithoutDetails(name, size);
            Require(early.has_value() || query.NeedsDetails(), "a query that reads no details decides early");
            for (std::size_t d = 0; d <= files.details.size(); ++d) {
                const lmp::GameDetails* details = d < files.details.size() ? &files.details[d] : nullptr;
                // The early answer holds for the details a file of that name can have: none unless
                // it is of a game type.
                const bool possible = lmp::FileTypeOfName(name) != lmp::FileType::None || d >= 3;
                const bool matches = query.Matches({name, size, details});
                Require(!early || !possible || *early == matches, "the early answer agrees");
                Require(padded.Matches({name, size, details}) == matches, "blanks around change nothing");
                Require(twice.Matches({name, size, details}) == matches, "a term twice changes nothing");
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const lmp::Query query(text);
        CheckMatches(query, text);
    } catch (const lmp::QueryError& error) {
        CheckRefusal(error, text);
    }
    return 0;
}
