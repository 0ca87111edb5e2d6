#include "sys/Allocator.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "sys/WindowsApi.h"

namespace lmp::sys {

// The Windows heap keeps freed blocks of this size for reuse by itself.
void KeepLargeBuffersForReuse(std::size_t) noexcept {}

// Threads reserve the program's own stack size (1 MiB) already.
void KeepThreadStacksSmall() noexcept {}

// Large pages need a privilege that programs seldom hold: blocks have small pages, taken 64 KiB at a
// time as the system reserves address space.
std::span<std::uint8_t> AllocatePages(std::size_t size)
{
    constexpr std::size_t kUnit = std::size_t{64} << 10;
    if (size == 0 || size > (SIZE_MAX >> 1))
        throw std::bad_alloc();
    const std::size_t length = (size + kUnit - 1) / kUnit * kUnit;
    void* block = VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr)
        throw std::bad_alloc();
    return {static_cast<std::uint8_t*>(block), length};
}

void FreePages(std::span<std::uint8_t> block) noexcept
{
    if (!block.empty())
        VirtualFree(block.data(), 0, MEM_RELEASE);
}

std::span<std::uint8_t> GrowPages(std::span<std::uint8_t> block, std::size_t size, std::size_t kept)
{
    const std::span<std::uint8_t> grown = AllocatePages(size);
    std::memcpy(grown.data(), block.data(), std::min(kept, block.size()));
    FreePages(block);
    return grown;
}

} // namespace lmp::sys
