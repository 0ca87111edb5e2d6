#pragma once

#include <cstdio>

#include <unistd.h>

// Writes the system's dirty pages out and empties its page cache, dentries and inodes, so that the next
// reads come from the disk: false where that is refused (not root, or a container that forbids it).
inline bool DropPageCache()
{
    ::sync();
    std::FILE* control = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (control == nullptr)
        return false;
    const bool written = std::fputs("3\n", control) >= 0;
    return std::fclose(control) == 0 && written;
}
