#include "sys/FileHandle.h"

#include "sys/WindowsApi.h"

namespace lmp::sys {

bool FileHandle::Close() noexcept
{
    const bool closed = !Valid() || CloseHandle(reinterpret_cast<HANDLE>(native_)) != 0;
    native_ = kNone;
    return closed;
}

} // namespace lmp::sys
