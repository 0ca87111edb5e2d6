#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/GameDetails.h"

namespace lmp {

// One file as a query sees it. It holds views and a pointer, so building one copies nothing; what they
// point at must outlive the call that reads it.
//
// The details are GameDetails::Of a Description made with every edition accepted (DescribeOptions{}),
// whatever edition filter the caller shows the files under: a file's fields are what the file is. A
// Description made under a filter has no lines for the editions left out, and so no fields. The decimal
// mark it was made with does not matter.
struct QueryFile {
    std::string_view name;                // the file's name without its folder, as listed (lmpinfo: the
                                          // last part of the path as UTF-8)
    std::uint64_t size = 0;               // bytes
    const GameDetails* details = nullptr; // none: the file was not described (it reads as blank details)
};

// Why a query cannot be read: one line that names the term, and where that term lies in the query (bytes).
class QueryError : public std::runtime_error {
public:
    QueryError(const std::string& message, std::size_t position, std::size_t length)
        : std::runtime_error(message), position_(position), length_(length)
    {
    }
    std::size_t Position() const noexcept { return position_; }
    std::size_t Length() const noexcept { return length_; }

private:
    std::size_t position_;
    std::size_t length_;
};

// A search over files: terms separated by blanks, all of which must hold (docs/search.md).
//   word or "a phrase"   the name, the ride type or the park's name holds it, ignoring case
//   FIELD>N >= < <= = N  excitement intensity nausea length rating guests cash (the Game Details
//                        columns, in the unit they show), rides stalls staff (the pane's lines), size
//   FIELD:VALUE          edition: and type: a choice, ride: and park: a text held (= the whole text),
//                        name: a glob over the name (* and ?)
// A file without the field a term reads matches no term on it. Matching only reads the query, so one
// query may match files on several threads at once.
class Query {
public:
    // The query that every file matches.
    Query();
    // Reads a query: blanks alone give the query that every file matches. Throws QueryError for the first
    // term that cannot be read. Time and memory grow linearly with the text.
    explicit Query(std::string_view text);
    Query(const Query& other);
    Query(Query&& other) noexcept;
    Query& operator=(const Query& other);
    Query& operator=(Query&& other) noexcept;
    ~Query();

    bool Matches(const QueryFile& file) const;

    // Whether some term reads the file's details, so that the file must be described to be matched; a
    // query on name:, type: and size alone needs no reading.
    bool NeedsDetails() const noexcept;
    // Whether some term reads the file's size, so that a caller must examine the file for it.
    bool NeedsSize() const noexcept;

    // What the name and size alone decide: a file of no game type (FileTypeOfName) is never described
    // and has no details, and a term that fails on the name or size fails whatever the details are.
    // None when the details are needed to decide.
    std::optional<bool> MatchesWithoutDetails(std::string_view name, std::uint64_t size) const;

    struct Term; // one term as read; defined in Query.cpp

private:
    std::vector<Term> terms_;
};

} // namespace lmp
