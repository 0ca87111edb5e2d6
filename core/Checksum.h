#pragma once

#include <cstdint>
#include <span>

#include "core/ByteStream.h"

// x86-64 under GCC or Clang has an assembly form of the checksum steps: one add to the low byte of the
// register and one rotate per byte, the shortest chain there is, where the C++ form needs a mask and a merge.
#if defined(__x86_64__) && defined(__GNUC__)
#define LMP_CHECKSUM_X86_64_ASM 1
#else
#define LMP_CHECKSUM_X86_64_ASM 0
#endif

namespace lmp {

// The checksum steps over bytes, in order, starting from the value c; the C++ form, for every platform.
std::uint32_t ChecksumStepsPortable(std::uint32_t c, std::span<const std::uint8_t> bytes) noexcept;

// The checksum steps over the eight bytes at p, in the fastest form; inline, so that loops doing other
// work on the same bytes can run that work beside the steps' chain.
inline std::uint32_t ChecksumEight(std::uint32_t c, const std::uint8_t* p) noexcept
{
#if LMP_CHECKSUM_X86_64_ASM
    // Each add writes only the low byte, which drops its carry as the format asks. The eight bytes are
    // memory operands, so the compiler knows exactly what is read.
    asm("addb %[b0], %b[c]\n\troll $3, %[c]\n\t"
        "addb %[b1], %b[c]\n\troll $3, %[c]\n\t"
        "addb %[b2], %b[c]\n\troll $3, %[c]\n\t"
        "addb %[b3], %b[c]\n\troll $3, %[c]\n\t"
        "addb %[b4], %b[c]\n\troll $3, %[c]\n\t"
        "addb %[b5], %b[c]\n\troll $3, %[c]\n\t"
        "addb %[b6], %b[c]\n\troll $3, %[c]\n\t"
        "addb %[b7], %b[c]\n\troll $3, %[c]"
        : [c] "+r"(c)
        : [b0] "m"(p[0]), [b1] "m"(p[1]), [b2] "m"(p[2]), [b3] "m"(p[3]), [b4] "m"(p[4]), [b5] "m"(p[5]),
          [b6] "m"(p[6]), [b7] "m"(p[7])
        : "cc");
    return c;
#else
    return ChecksumStepsPortable(c, std::span<const std::uint8_t>(p, 8));
#endif
}

// The same steps in the fastest form this build has (the assembly form where LMP_CHECKSUM_X86_64_ASM is 1,
// the C++ form elsewhere); the result is the same.
std::uint32_t ChecksumSteps(std::uint32_t c, std::span<const std::uint8_t> bytes) noexcept;

// The packed container's checksum, fed in pieces: the result depends only on the bytes in order,
// not on how they were split.
class ChecksumAccumulator {
public:
    ChecksumAccumulator() noexcept = default;
    // Goes on from a checksum over earlier bytes.
    explicit ChecksumAccumulator(std::uint32_t value) noexcept : value_(value) {}

    void Add(std::span<const std::uint8_t> bytes) noexcept { value_ = ChecksumSteps(value_, bytes); }
    std::uint32_t Value() const noexcept { return value_; }

private:
    std::uint32_t value_ = 0;
};

// Checksum of the whole buffer, or of all but its last four bytes when excludeTrailer is set
// (0 for a buffer of four bytes or fewer).
std::uint32_t ComputeFileChecksum(const ByteStream& buffer, bool excludeTrailer) noexcept;

// (stored - computed) modulo 2^32, read as a signed number.
std::int32_t ChecksumDifference(std::uint32_t stored, std::uint32_t computed) noexcept;

} // namespace lmp
