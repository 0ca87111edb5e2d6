#pragma once

#include <filesystem>

#include <QString>

namespace lmp::gui {

// The file-system path that Qt's path text names, in the platform's own encoding of file names.
std::filesystem::path NativePath(const QString& path);

} // namespace lmp::gui
