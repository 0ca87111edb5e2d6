#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QString>

namespace lmp::gui {

// The types of a list's files, by their lower-case extensions: each extension gets a number once, so that
// an item keeps its type in two bytes, and the type's name is looked up the first time it is shown.
class FileTypeNames {
public:
    // A type past the numbers there are: its name is made from the file's name each time it is asked for.
    static constexpr std::uint16_t kUnnumbered = 0xFFFF;

    // The number of the type of a file of that name; kUnnumbered once every number is given.
    std::uint16_t Number(std::string_view fileName);
    // The name of the type of number, for a file of that name (which names the unnumbered types).
    QString Name(std::uint16_t number, std::string_view fileName) const;
    // The numbers given are those below this.
    std::size_t Count() const { return extensions_.size(); }

private:
    std::unordered_map<std::string, std::uint16_t> numbers_;
    std::vector<std::string> extensions_;
    mutable std::vector<QString> names_; // made when first shown
};

} // namespace lmp::gui
