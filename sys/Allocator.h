#pragma once

namespace lmp::sys {

// Keeps the buffers of describing (a file's head, its decoded contents, a read chunk: a few MB each) in
// the process once freed, so that the next file reuses pages already mapped instead of faulting in fresh
// ones: on a folder that is a quarter of the run. Call once at start, before any thread is created.
void KeepLargeBuffersForReuse() noexcept;

} // namespace lmp::sys
