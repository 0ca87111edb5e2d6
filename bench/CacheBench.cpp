// The cache of descriptions over a tree of game files: lmp-bench-cache TREE CACHE_FILE describes every game
// file below TREE through a DescribePipeline without the cache, then with a new cache at CACHE_FILE (each
// file looked up, described and stored), then again from the cache alone; then the look-ups alone, and once
// more with every entry's use recorded (as on the first run of a day), and with the stamps a listing of the
// folders gives (sys::ListFolder). Prints wall seconds of each, the
// entries kept and the bytes of the cache on disk. The cache file is removed first.
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Edition.h"
#include "scan/DescribeFile.h"
#include "scan/DescribePipeline.h"
#include "scan/DescriptionCache.h"
#include "sys/Folder.h"

namespace {
namespace fs = std::filesystem;

constexpr std::size_t kBatch = 512;

double Seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Describes the files as lmpinfo would with the cache: each batch looked up, the files not found described
// on the pipeline and stored. Returns the number of lines, so that nothing is optimised away.
std::size_t DescribeWithCache(const std::vector<fs::path>& files, lmp::DescriptionCache& cache)
{
    std::size_t lines = 0;
    lmp::DescribePipeline pipeline;
    for (std::size_t at = 0; at < files.size(); at += kBatch) {
        const std::span<const fs::path> batch =
            std::span(files).subspan(at, std::min(kBatch, files.size() - at));
        const std::vector<lmp::CacheLookup> answers = cache.Lookup(batch);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            if (answers[i].answer != lmp::CacheAnswer::Found)
                pipeline.Submit(batch[i], {});
        }
        std::vector<lmp::CacheEntry> entries;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            if (answers[i].answer == lmp::CacheAnswer::Found) {
                lines += lmp::DescribeFromFacts(batch[i], answers[i].facts, {}).lines.size();
                continue;
            }
            const lmp::Description description = std::move(*pipeline.Next()).Take();
            lines += description.lines.size();
            if (answers[i].answer == lmp::CacheAnswer::Absent)
                entries.push_back({batch[i], answers[i].stamp,
                                   *lmp::FactsOf(lmp::FileTypeOfPath(batch[i]), description, {})});
        }
        cache.Store(entries);
    }
    return lines;
}

std::uintmax_t BytesOnDisk(const fs::path& file)
{
    std::uintmax_t bytes = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file.string() + suffix, error);
        bytes += error ? 0 : size;
    }
    return bytes;
}

// The game files below folder with their stamps, as a walk of the folders with sys::ListFolder gives them.
void List(const fs::path& folder, std::vector<fs::path>& files, std::vector<lmp::sys::FileStamp>& stamps)
{
    std::error_code error;
    const auto entries = lmp::sys::ListFolder(folder, error);
    if (!entries)
        return;
    for (const lmp::sys::FolderEntry& entry : *entries) {
        if (entry.isFolder) {
            List(folder / entry.name, files, stamps);
        } else if (lmp::FileTypeOfPath(entry.name) != lmp::FileType::None) {
            files.push_back(folder / entry.name);
            stamps.push_back(lmp::sys::StampOf(entry));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: lmp-bench-cache TREE CACHE_FILE\n");
        return 2;
    }
    try {
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(argv[1])) {
            if (entry.is_regular_file() && lmp::FileTypeOfPath(entry.path()) != lmp::FileType::None)
                files.push_back(entry.path());
        }
        const fs::path file = argv[2];
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(file.string() + suffix);
        std::size_t sink = 0;
        const double plain = Seconds([&] {
            lmp::DescribePipeline pipeline;
            for (std::size_t at = 0; at < files.size(); at += kBatch) {
                const std::size_t end = std::min(files.size(), at + kBatch);
                for (std::size_t i = at; i < end; ++i)
                    pipeline.Submit(files[i], {});
                for (std::size_t i = at; i < end; ++i)
                    sink += std::move(*pipeline.Next()).Take().lines.size();
            }
        });
        const lmp::CacheSettings settings{.settle = std::chrono::nanoseconds(0)};
        lmp::DescriptionCache cache(file, settings);
        const double first = Seconds([&] { sink += DescribeWithCache(files, cache); });
        const double second = Seconds([&] { sink += DescribeWithCache(files, cache); });
        std::size_t found = 0;
        const auto lookUp = [&](lmp::DescriptionCache& from) {
            for (std::size_t at = 0; at < files.size(); at += kBatch) {
                for (const lmp::CacheLookup& answer :
                     from.Lookup(std::span(files).subspan(at, std::min(kBatch, files.size() - at))))
                    found += answer.answer == lmp::CacheAnswer::Found ? 1 : 0;
            }
        };
        const double lookups = Seconds([&] { lookUp(cache); });
        std::vector<fs::path> listed;
        std::vector<lmp::sys::FileStamp> stamps;
        const double listing = Seconds([&] { List(argv[1], listed, stamps); });
        std::size_t foundListed = 0;
        const double lookupsListed = Seconds([&] {
            for (std::size_t at = 0; at < listed.size(); at += kBatch) {
                const std::size_t count = std::min(kBatch, listed.size() - at);
                for (const lmp::CacheLookup& answer :
                     cache.Lookup(std::span(listed).subspan(at, count), std::span(stamps).subspan(at, count)))
                    foundListed += answer.answer == lmp::CacheAnswer::Found ? 1 : 0;
            }
        });
        lmp::CacheSettings everyUse = settings;
        everyUse.useStep = std::chrono::nanoseconds(1);
        lmp::DescriptionCache recording(file, everyUse);
        const double recorded = Seconds([&] { lookUp(recording); });
        for (const std::string& notice : cache.TakeNotices())
            std::fprintf(stderr, "%s\n", notice.c_str());
        std::printf("files                        %zu\n", files.size());
        std::printf("described without the cache  %.3f s\n", plain);
        std::printf("first run with the cache     %.3f s (%.2f x)\n", first, first / plain);
        std::printf("second run with the cache    %.3f s (%.1f %%)\n", second, 100 * second / plain);
        std::printf("look-ups alone               %.3f s (%zu found)\n", lookups, found / 2);
        std::printf("look-ups recording each use  %.3f s\n", recorded);
        std::printf("listing the folders          %.3f s\n", listing);
        std::printf("look-ups of listed stamps    %.3f s (%zu found)\n", lookupsListed, foundListed);
        std::printf("entries                      %zu\n", cache.Entries());
        std::printf("bytes on disk                %ju (%.1f per entry)\n", BytesOnDisk(file),
                    static_cast<double>(BytesOnDisk(file)) /
                        static_cast<double>(std::max<std::size_t>(cache.Entries(), 1)));
        return sink == 0 ? 1 : 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lmp-bench-cache: %s\n", error.what());
        return 1;
    }
}
