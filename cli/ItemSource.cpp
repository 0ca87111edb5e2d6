#include "cli/Lmpinfo.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/PathList.h"
#include "cli/Wildcards.h"
#include "core/NaturalOrder.h"
#include "sys/CommandLine.h"
#include "sys/FileStamp.h"
#include "sys/Folder.h"

namespace lmp::cli {
namespace fs = std::filesystem;

std::string NameText(const fs::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

namespace {

bool NaturalPathLess(const fs::path& a, const fs::path& b)
{
    return NaturalLess(NameText(a), NameText(b));
}

// The regular files of a folder and, when wanted, its subfolders (not links to folders), each in
// file-list order. Throws std::filesystem::filesystem_error when the folder cannot be listed.
void ListFolder(const fs::path& folder, std::vector<fs::path>& files, std::vector<fs::path>* subfolders)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code error;
        if (entry.is_regular_file(error)) {
            files.push_back(entry.path());
        } else if (subfolders != nullptr && !entry.is_symlink(error) && entry.is_directory(error)) {
            subfolders->push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end(), NaturalPathLess);
    if (subfolders != nullptr) {
        std::sort(subfolders->begin(), subfolders->end(), NaturalPathLess);
    }
}

// The same, each file with its stamp as the folder's listing gives it (one examination of a name in the
// folder rather than of a whole path). Throws std::filesystem::filesystem_error when the folder cannot be
// listed.
void ListFolderWithStamps(const fs::path& folder, std::vector<Item>& files, std::vector<fs::path>* subfolders)
{
    std::error_code error;
    const std::unique_ptr<sys::FolderReader> reader = sys::OpenFolder(folder, error);
    if (!reader)
        throw fs::filesystem_error("cannot list the folder", folder, error);
    // Sorted by the names, each made once, rather than by the paths.
    std::vector<std::pair<std::string, Item>> named;
    while (std::optional<sys::FolderEntry> entry = reader->Next(sys::EntryDetails::Read)) {
        fs::path path = folder / entry->name;
        if (entry->regular)
            named.emplace_back(NameText(entry->name), Item{std::move(path), {}, false, sys::StampOf(*entry)});
    }
    if (reader->Error())
        throw fs::filesystem_error("cannot list the folder", folder, reader->Error());
    std::sort(named.begin(), named.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
    for (auto& [name, item] : named)
        files.push_back(std::move(item));
    // The subfolders as ListFolder tells them, so that a walk with stamps visits the same folders: links to
    // folders are left out, however the system shows them.
    if (subfolders != nullptr) {
        for (const fs::directory_entry& sub : fs::directory_iterator(folder)) {
            if (!sub.is_symlink(error) && sub.is_directory(error))
                subfolders->push_back(sub.path());
        }
        std::sort(subfolders->begin(), subfolders->end(), NaturalPathLess);
    }
}

} // namespace

std::vector<fs::path> FolderFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    ListFolder(folder, files, nullptr);
    return files;
}

std::vector<Item> ExpandPaths(const std::vector<std::string>& paths, bool recursive)
{
    std::vector<Item> items;
    ItemSource source(paths, nullptr, recursive);
    while (std::optional<Item> item = source.Next())
        items.push_back(std::move(*item));
    return items;
}

ItemSource::ItemSource(std::vector<std::string> paths, PathList* list, bool recursive, bool stamps)
    : list_(list), recursive_(recursive), stamps_(stamps), listEnded_(list == nullptr)
{
    for (std::string& text : paths)
        paths_.push_back({std::move(text), false});
}

std::optional<Item> ItemSource::Next()
{
    while (next_ == items_.size()) {
        items_.clear();
        next_ = 0;
        if (!Walk())
            return std::nullopt;
    }
    ++taken_;
    return std::move(items_[next_++]);
}

std::optional<std::size_t> ItemSource::Total() const noexcept
{
    if (!paths_.empty() || !folders_.empty() || !listEnded_)
        return std::nullopt;
    return taken_ + (items_.size() - next_);
}

bool ItemSource::Walk()
{
    // A folder tree depth first, a folder's files before its subfolders, with a stack of its own so
    // that deep trees cannot exhaust the call stack.
    if (!folders_.empty()) {
        const Folder folder = std::move(folders_.back());
        folders_.pop_back();
        std::vector<fs::path> files;
        std::vector<Item> stamped;
        std::vector<fs::path> subfolders;
        try {
            if (stamps_)
                ListFolderWithStamps(folder.path, stamped, &subfolders);
            else
                ListFolder(folder.path, files, &subfolders);
        } catch (const fs::filesystem_error&) {
            items_.push_back(
                {folder.path, "Cannot open folder " +
                                  (folder.text.empty() ? sys::Utf8FromPath(folder.path) : folder.text)});
            return true;
        }
        for (fs::path& file : files)
            items_.push_back({std::move(file), {}});
        std::move(stamped.begin(), stamped.end(), std::back_inserter(items_));
        for (auto sub = subfolders.rbegin(); sub != subfolders.rend(); ++sub)
            folders_.push_back({std::move(*sub), {}});
        return true;
    }
    if (!paths_.empty()) {
        const PathText path = std::move(paths_.front());
        paths_.pop_front();
        if (path.matched || !sys::ProgramExpandsWildcards() || !HasWildcard(path.text)) {
            ExpandPath(path.text);
            return true;
        }
        // Each match takes its turn as a path of its own, so that a folder's tree comes before the
        // matches after it.
        const std::vector<std::string> matches = MatchWildcard(path.text);
        if (matches.empty())
            items_.push_back({sys::PathFromUtf8(path.text), "No such file or folder: " + path.text});
        for (auto match = matches.rbegin(); match != matches.rend(); ++match)
            paths_.push_front({*match, true});
        return true;
    }
    std::optional<ListedPath> entry = listEnded_ ? std::nullopt : list_->Next();
    if (!entry) {
        listEnded_ = true;
        return false;
    }
    if (entry->problem.empty())
        ExpandPath(entry->path);
    else
        items_.push_back({{}, std::move(entry->problem), true});
    return true;
}

void ItemSource::ExpandPath(const std::string& text)
{
    const fs::path path = sys::PathFromUtf8(text);
    std::error_code error;
    if (fs::is_directory(fs::status(path, error))) {
        if (recursive_) {
            // Listed when its turn comes: the walk lists the folders it holds before the next path.
            folders_.push_back({path, text});
            return;
        }
        try {
            if (stamps_) {
                std::vector<Item> stamped;
                ListFolderWithStamps(path, stamped, nullptr);
                std::move(stamped.begin(), stamped.end(), std::back_inserter(items_));
                return;
            }
            for (fs::path& file : FolderFiles(path))
                items_.push_back({std::move(file), {}});
        } catch (const fs::filesystem_error&) {
            items_.push_back({path, "Cannot open folder " + text});
        }
        return;
    }
    // A link that leads nowhere is still a name in its folder; reading it fails like any file.
    if (fs::symlink_status(path, error).type() == fs::file_type::not_found) {
        items_.push_back({path, "No such file or folder: " + text});
        return;
    }
    items_.push_back({path, {}});
}

} // namespace lmp::cli
