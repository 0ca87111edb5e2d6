#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include <QString>

namespace lmp::gui {

// The folders visited, by their path texts (see PathText), for Back and Forward. A visit after going
// back drops the folders ahead; visiting the folder at hand again changes nothing, so that the visit
// that Back or Forward causes keeps the place.
class FolderHistory {
public:
    static constexpr std::size_t kLimit = 100;

    void Visit(const QString& folder);
    bool CanGoBack() const { return at_ > 0; }
    bool CanGoForward() const { return at_ + 1 < folders_.size(); }
    // The folder to go to; none at either end.
    std::optional<QString> Back();
    std::optional<QString> Forward();

private:
    std::vector<QString> folders_;
    std::size_t at_ = 0;
};

// The folder above a folder's path text: the desktop (empty) above a file-system root, none above
// the desktop.
std::optional<QString> FolderAbove(const QString& folder);

// The location bar's text for a folder's path text: as the folder shows (bytes of a name that are not
// UTF-8 as U+FFFD), with the system's separators.
QString LocationText(const QString& folder);

// The path text that the location typed names. The text shown for folder, unchanged, names folder itself
// (whatever its text lost); otherwise "~" stands for home, a relative path is taken from folder, and
// trailing separators go.
QString TypedLocation(const QString& typed, const QString& folder, const QString& home);

} // namespace lmp::gui
