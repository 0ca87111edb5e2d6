#include "sys/ShellNames.h"

#include <array>

#include "sys/WindowsApi.h"
#include "sys/WindowsText.h"

namespace lmp::sys {

bool HasDriveLetters() noexcept
{
    return true;
}

std::string DriveCaption(std::string_view root)
{
    // The volume's own label, as the file manager shows it; a drive without a medium has none.
    const std::wstring volume = WideFromUtf8(root.substr(0, 2)) + L"\\";
    std::array<wchar_t, MAX_PATH + 1> label{};
    std::string caption;
    if (GetVolumeInformationW(volume.c_str(), label.data(), static_cast<DWORD>(label.size()), nullptr,
                              nullptr, nullptr, nullptr, 0)) {
        caption = Utf8FromWide(label.data());
    }
    if (caption.empty()) {
        caption = "Local Disk";
    }
    return caption + " (" + std::string(root.substr(0, 2)) + ")";
}

std::string_view FolderTypeName() noexcept
{
    return "File Folder";
}

} // namespace lmp::sys
