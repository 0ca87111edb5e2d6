#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>

namespace lmp::cli {

// The longest path a path list may hold, in bytes: room for the longest path any system allows.
inline constexpr std::size_t kMaxListedPathBytes = 131072;

// One entry of a path list: a path, or, when the entry cannot be a path, the message that says why.
struct ListedPath {
    std::string path;
    std::string problem;
};

// Reads a path list one entry at a time, never holding more than one entry. An entry ends at a line
// feed, a carriage return before it dropped, or, when null-separated, at a NUL byte (line feeds and
// carriage returns then belong to the path); the end of the list ends the last entry. Empty entries
// are skipped.
class PathList {
public:
    // name stands for the list in messages.
    PathList(std::istream& in, std::string name, bool nullSeparated) noexcept;

    // The next entry, none at the end of the list. An entry longer than kMaxListedPathBytes, a line
    // that holds a NUL byte and a failed read are problems; after a failed read the list ends.
    std::optional<ListedPath> Next();

private:
    std::string Where() const;

    std::istream& in_;
    std::string name_;
    char separator_;
    std::size_t entry_ = 0; // entries read, empty ones included, so that messages count like an editor
    bool ended_ = false;
};

} // namespace lmp::cli
