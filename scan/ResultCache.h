#pragma once

#include <cstddef>
#include <filesystem>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/Describe.h"
#include "scan/DescribeFile.h"
#include "sys/FileStamp.h"

namespace lmp {

// The results cache's key of a file described under options (the separator aside: it is put in front
// afterwards): the path's bytes, its stamp and the options that change its lines.
std::string ResultKeyOf(const std::filesystem::path& path, const DescribeOptions& options,
                        const sys::FileStamp& stamp);

// Descriptions of files read whole, bounded in bytes, the least recently used going first beyond the bound.
class ResultCache {
public:
    explicit ResultCache(std::size_t limit) : limit_(limit) {}

    std::optional<Description> Find(const std::string& key);
    // Keeping a result is only a saving: without memory for it the file is read again next time.
    void Store(const std::string& key, const Description& description) noexcept;

private:
    struct Entry {
        std::string key;
        Description description;
        std::size_t bytes;
    };

    std::mutex mutex_;
    std::size_t limit_;
    std::size_t used_ = 0;
    std::list<Entry> entries_; // the most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

} // namespace lmp
