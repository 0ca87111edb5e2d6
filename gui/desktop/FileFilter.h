#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lmp::gui {

// Which files the list shows, from the filter dialog's choices: its mask (1 track files, 2 track
// images, 4 saved games, 8 scenarios, 16 the custom extension, 32 all files) and the custom extension
// as typed after "*.". Folders are always shown; a mask of no bits shows folders only.
struct FileFilter {
    static constexpr std::uint16_t kAllFiles = 32;

    std::uint16_t mask = kAllFiles;
    std::string customExtension;

    // Whether a file (not a folder) of this name is listed; extensions compare without regard to ASCII
    // case, and an empty custom extension stands for names without one.
    bool Shows(std::string_view fileName) const noexcept;
};

} // namespace lmp::gui
