#include "sys/Allocator.h"

#include <algorithm>
#include <cstdlib> // the C library's own headers tell __GLIBC__
#include <cstring>
#include <new>

#include <sys/mman.h>

#if defined(__GLIBC__)
#include <malloc.h>
#include <pthread.h>
#endif

namespace lmp::sys {

void KeepLargeBuffersForReuse(std::size_t largestKept) noexcept
{
#if defined(__GLIBC__)
    // Up to largestKept, blocks come from the heap rather than a mapping of their own, and a heap keeps
    // up to 256 MiB of free memory at its top instead of handing it back at every free.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(largestKept));
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#else
    static_cast<void>(largestKept);
#endif
}

void KeepThreadStacksSmall() noexcept
{
#if defined(__GLIBC__)
    pthread_attr_t attributes;
    if (pthread_getattr_default_np(&attributes) != 0)
        return;
    std::size_t size = 0;
    if (pthread_attr_getstacksize(&attributes, &size) == 0 && size > kThreadStack &&
        pthread_attr_setstacksize(&attributes, kThreadStack) == 0)
        pthread_setattr_default_np(&attributes);
    pthread_attr_destroy(&attributes);
#endif
}

namespace {

constexpr std::size_t kSmallUnit = std::size_t{64} << 10;

constexpr std::size_t RoundUp(std::size_t size, std::size_t unit) noexcept
{
    return (size + unit - 1) / unit * unit;
}

// Huge pages for a block that fills most of its last one.
bool TakesHugePages(std::size_t size) noexcept
{
    return RoundUp(size, kHugePageSize) - size <= kHugePageSize / 8;
}

} // namespace

std::span<std::uint8_t> AllocatePages(std::size_t size)
{
    if (size == 0 || size > (SIZE_MAX >> 1))
        throw std::bad_alloc();
    const std::size_t huge = RoundUp(size, kHugePageSize);
    if (!TakesHugePages(size)) {
        // Its pages are made at once, in one call, instead of one fault at a time as they are first written:
        // a block is filled whole by the file it is taken for.
        const std::size_t length = RoundUp(size, kSmallUnit);
        void* block = ::mmap(nullptr, length, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (block == MAP_FAILED)
            throw std::bad_alloc();
        return {static_cast<std::uint8_t*>(block), length};
    }
    // Mapped with a huge page's room to spare, then cut to the boundary: a mapping starts only on a
    // small page's.
    void* mapped =
        ::mmap(nullptr, huge + kHugePageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    auto* start = static_cast<std::uint8_t*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t before = RoundUp(address, kHugePageSize) - address;
    if (before > 0)
        ::munmap(start, before);
    ::munmap(start + before + huge, kHugePageSize - before);
#ifdef MADV_HUGEPAGE
    // Refused where the system has no huge pages; the block then has small ones.
    ::madvise(start + before, huge, MADV_HUGEPAGE);
#endif
    return {start + before, huge};
}

void FreePages(std::span<std::uint8_t> block) noexcept
{
    if (!block.empty())
        ::munmap(block.data(), block.size());
}

std::span<std::uint8_t> GrowPages(std::span<std::uint8_t> block, std::size_t size, std::size_t kept)
{
#ifdef MREMAP_MAYMOVE
    // Small pages stay small: the page tables move, the pages already touched with them.
    if (!TakesHugePages(size) && !TakesHugePages(block.size()) && size <= (SIZE_MAX >> 2)) {
        // Half again as much room as before at least, so that a run of ever larger files moves it a few
        // times only (a move costs the other cores a flush of their address caches); untouched room costs
        // no memory.
        const std::size_t length = RoundUp(std::max(size, block.size() + block.size() / 2), kSmallUnit);
        void* moved = ::mremap(block.data(), block.size(), length, MREMAP_MAYMOVE);
        if (moved == MAP_FAILED)
            throw std::bad_alloc();
        auto* start = static_cast<std::uint8_t*>(moved);
#ifdef MADV_POPULATE_WRITE
        // The room asked for, not the half again beyond it; refused by systems before Linux 5.14, whose
        // pages then fault in as they are written.
        const std::size_t wanted = RoundUp(size, kSmallUnit);
        if (wanted > block.size())
            ::madvise(start + block.size(), wanted - block.size(), MADV_POPULATE_WRITE);
#endif
        return {start, length};
    }
#endif
    const std::span<std::uint8_t> grown = AllocatePages(size);
    std::memcpy(grown.data(), block.data(), std::min(kept, block.size()));
    FreePages(block);
    return grown;
}

} // namespace lmp::sys
