#pragma once

#include <cstdio>
#include <ctime>

#include <unistd.h>

// The processor time the given clock has counted, in milliseconds: the whole process's by default, or
// CLOCK_THREAD_CPUTIME_ID for the calling thread alone.
inline double ProcessorMilliseconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

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

// The process's resident memory in bytes (Linux), 0 where it cannot be read.
inline long ResidentBytes()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0;
    long size = 0;
    long resident = 0;
    const bool read = std::fscanf(statm, "%ld %ld", &size, &resident) == 2;
    std::fclose(statm);
    return read ? resident * ::sysconf(_SC_PAGESIZE) : 0;
}
