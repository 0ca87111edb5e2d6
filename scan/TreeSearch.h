#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/Query.h"
#include "scan/DescribeService.h"
#include "sys/FileStamp.h"

namespace lmp {

class DescriptionCache;

// A file a search found, as the listing of its folder gave it.
struct FoundFile {
    std::string folder;         // below the folder searched, as UTF-8 (sys::PathFromUtf8); empty for that
                                // folder itself
    std::filesystem::path name; // its own name, its bytes as stored
    sys::FileStamp stamp;
};

// How far a search has come: the files it has examined (every file its folders list that the list would
// show) and those of them that matched.
struct SearchCount {
    std::size_t examined = 0;
    std::size_t matched = 0;
    bool ended = false; // every folder read and every file decided
};

struct SearchSettings {
    std::filesystem::path root;
    bool subfolders = false; // the whole tree below root, not root alone
    Query query;
    // Whether a file of this name (UTF-8) is examined at all: the list's filter. None for every file.
    std::function<bool(std::string_view name)> listed;
    // Where descriptions read earlier are looked up and those read now are kept; none to read every file
    // whose details the query needs.
    std::shared_ptr<DescriptionCache> cache;
    // Files handed to the describing service ahead of their outcomes: what the search holds at most.
    std::size_t ahead = 4096;
};

// Searches a folder, or the tree below it, on a thread of its own: files are ruled in or out by name and
// size where the query allows, looked up in the cache, and read by the describing service (its Bulk lane)
// otherwise; each match is handed over as soon as it is decided. Hidden entries are skipped as the list
// skips them; a folder reached twice through links is searched once; a folder that cannot be listed is
// passed over. Destroying the search stops it, its files being read at their next chunk.
class TreeSearch {
public:
    // ready is called on the search's thread, with no lock held, when matches or counts wait to be taken;
    // one call may stand for several, and none follows until Take has been called.
    TreeSearch(DescribeService& service, SearchSettings settings, std::function<void()> ready);
    ~TreeSearch();
    TreeSearch(const TreeSearch&) = delete;
    TreeSearch& operator=(const TreeSearch&) = delete;

    // Moves the matches found since the last call to the end of found, and says how far the search is.
    SearchCount Take(std::vector<FoundFile>& found);
    // What the cache had to say, or why the search could not run; each once.
    std::vector<std::string> TakeNotices();

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<DescribeService::Client> client_;
    std::jthread thread_;
};

} // namespace lmp
