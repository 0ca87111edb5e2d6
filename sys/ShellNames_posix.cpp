#include "sys/ShellNames.h"

namespace lmp::sys {

bool HasDriveLetters() noexcept
{
    return false;
}

std::string DriveCaption(std::string_view root)
{
    if (root.size() > 1 && root.ends_with('/')) {
        root.remove_suffix(1);
    }
    return std::string(root);
}

std::string_view FolderTypeName() noexcept
{
    return "Folder";
}

} // namespace lmp::sys
