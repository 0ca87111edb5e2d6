#include "sys/Folder.h"

namespace lmp::sys {

bool FolderReader::Detail(FolderEntry& entry)
{
    return entry.detailed;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& path, std::error_code& error)
{
    const std::unique_ptr<FolderReader> reader = OpenFolder(path, error);
    if (!reader) {
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    while (std::optional<FolderEntry> entry = reader->Next(EntryDetails::Read)) {
        entries.push_back(std::move(*entry));
    }
    if (reader->Error()) {
        error = reader->Error();
        return std::nullopt;
    }
    error.clear();
    return entries;
}

} // namespace lmp::sys
