#pragma once

#include <filesystem>

#include <QString>

namespace lmp::gui {

// The file-system path that Qt's path text names, in the platform's own encoding of file names.
std::filesystem::path NativePath(const QString& path);

// A file name as text to show: bytes that are not UTF-8 (on POSIX) show as U+FFFD, so the name shows as
// far as it can be read.
QString ShownName(const std::filesystem::path& name);

} // namespace lmp::gui
