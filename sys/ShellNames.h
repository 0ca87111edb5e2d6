#pragma once

#include <string>
#include <string_view>

namespace lmp::sys {

// The names that the system's file manager shows for drives and folders, so that the window's tree and
// list read as the user knows them.

// Whether the file systems hang under drives with letters, which the tree captions like
// "Local Disk (C:)" and whose paths have "\" between names (Windows), rather than under the one root "/"
// (POSIX systems).
bool HasDriveLetters() noexcept;

// The caption of the tree node for a file-system root, given as UTF-8 with "/" separators ("/",
// "C:/"), in UTF-8: on POSIX systems the path, without its last "/" unless that is all of it; on
// Windows the volume's label ("Local Disk" when it has none or cannot be read) and the drive in
// parentheses, "Local Disk (C:)", which a drop onto the tree finds its drive by.
std::string DriveCaption(std::string_view root);

// The type the file list shows for a folder: "Folder"; on Windows "File Folder".
std::string_view FolderTypeName() noexcept;

} // namespace lmp::sys
