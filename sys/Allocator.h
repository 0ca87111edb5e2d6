#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lmp::sys {

// Describing's largest buffer, a file's head of 4,130,601 bytes, with room to spare.
inline constexpr std::size_t kDescribingBuffersMost = std::size_t{5} << 20;

// Keeps the buffers of describing (a file's head, its decoded contents, a read chunk: a few MB each) in
// the process once freed, so that the next file reuses pages already mapped instead of faulting in fresh
// ones: on a folder that is a quarter of the run. Call once at start, before any thread is created.
// Blocks larger than largestKept get a mapping of their own, which grows without being copied: a program
// that grows large arrays of its own (the window's description pane) keeps no more than describing's
// buffers (kDescribingBuffersMost), so that a growing array is not copied and faulted in anew each time
// it doubles.
void KeepLargeBuffersForReuse(std::size_t largestKept = std::size_t{32} << 20) noexcept;

// Threads started after it reserve kThreadStack of address space for their stacks instead of the stack
// limit's (commonly 8 MiB): under a limit on address space, 32 describing threads would otherwise reserve
// 256 MiB before reading a byte, and no file would find room for its buffers. Call once at start, before
// any thread is created.
inline constexpr std::size_t kThreadStack = std::size_t{2} << 20;
void KeepThreadStacksSmall() noexcept;

// The huge page the system backs large blocks with where it can: 2 MiB.
inline constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

// A block of whole pages straight from the system, for buffers kept from one file to the next, given
// back to it at once by FreePages. A block that fills most of a multiple of kHugePageSize (at most an
// eighth left over) is rounded up to it, starts on such a boundary and is offered huge pages where the
// system allows them (madvise MADV_HUGEPAGE): one fault a huge page instead of 512. Others are rounded
// up to 64 KiB. Throws std::bad_alloc when the system refuses.
std::span<std::uint8_t> AllocatePages(std::size_t size);
void FreePages(std::span<std::uint8_t> block) noexcept;
// A block of at least size bytes in place of block (which AllocatePages gave), holding its first kept
// bytes; where the system can, pages already touched move along instead of being copied into fresh ones
// that fault again. Throws std::bad_alloc, block untouched, when the system refuses.
std::span<std::uint8_t> GrowPages(std::span<std::uint8_t> block, std::size_t size, std::size_t kept);

} // namespace lmp::sys
