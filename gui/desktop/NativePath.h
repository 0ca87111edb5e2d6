#pragma once

#include <filesystem>

#include <QString>
#include <QUrl>

namespace lmp::gui {

// The program's text for a file-system path, which NativePath turns back into the same path. On POSIX a
// byte of a name that is not UTF-8 becomes the lone surrogate U+DC80-U+DCFF, so that a folder with such a
// name can still be opened, listed and copied into; Qt's own file classes cannot reach it, and such text
// is shown through ShownName.
QString PathText(const std::filesystem::path& path);

// The file-system path that a path text names, in the platform's own encoding of file names.
std::filesystem::path NativePath(const QString& path);

// Whether a path text holds a byte of a name that is not UTF-8 (see PathText).
bool HoldsNameBytes(const QString& text);

// A file name or path as text to show, as SafeText gives it: bytes that are not UTF-8 (on POSIX), control
// characters and bidirectional controls show as U+FFFD, so the name shows as far as it can be read and
// cannot pose as another ("a", U+202E, "gpj.TD4" is not shown as "a4DT.jpg"). The file keeps its name.
QString ShownName(const std::filesystem::path& name);

// The file's URL for other programs (a drop, the desktop opening it); a name that is no UTF-8 keeps its
// bytes, percent-encoded, where the path's text would have replaced them.
QUrl FileUrl(const std::filesystem::path& path);

} // namespace lmp::gui
