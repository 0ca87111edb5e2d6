#include "sys/Allocator.h"

namespace lmp::sys {

// The Windows heap keeps freed blocks of this size for reuse by itself.
void KeepLargeBuffersForReuse(std::size_t) noexcept {}

} // namespace lmp::sys
