#include "sys/FileHandle.h"

#include <unistd.h>

namespace lmp::sys {

bool FileHandle::Close() noexcept
{
    const bool closed = !Valid() || ::close(static_cast<int>(native_)) == 0;
    native_ = kNone;
    return closed;
}

} // namespace lmp::sys
