#include "sys/FileHandle.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lmp::sys {

bool FileHandle::Close() noexcept
{
    const bool closed = !Valid() || CloseHandle(reinterpret_cast<HANDLE>(native_)) != 0;
    native_ = kNone;
    return closed;
}

} // namespace lmp::sys
