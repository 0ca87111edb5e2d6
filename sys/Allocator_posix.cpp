#include "sys/Allocator.h"

#include <cstdlib> // the C library's own headers tell __GLIBC__

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lmp::sys {

void KeepLargeBuffersForReuse() noexcept
{
#if defined(__GLIBC__)
    // Below 32 MiB, blocks come from the heap rather than a mapping of their own, and a heap keeps up
    // to 256 MiB of free memory at its top instead of handing it back at every free.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

} // namespace lmp::sys
