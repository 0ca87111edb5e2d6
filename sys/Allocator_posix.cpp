#include "sys/Allocator.h"

#include <cstdlib> // the C library's own headers tell __GLIBC__

#if defined(__GLIBC__)
#include <malloc.h>
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

} // namespace lmp::sys
