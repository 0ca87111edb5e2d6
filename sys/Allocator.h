#pragma once

#include <cstddef>

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

} // namespace lmp::sys
