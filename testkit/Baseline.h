#pragma once

#include <filesystem>
#include <string_view>

#include "core/ByteStream.h"
#include "core/Describe.h"

namespace lmp::testkit {

// Describing a file as its algorithms read, one step after another: the whole file in one byte stream,
// the checksum one byte read at a time, the whole body decoded with no limit, the whole scrambled
// region descrambled one word read and written at a time, then the core's summaries. Tests hold the
// core's describer to the same edition and lines; benchmarks measure how much faster the core is.

// The checksum of all bytes before the last four, one byte read from the stream at a time.
std::uint32_t BaselineChecksum(const ByteStream& file);

// Every record of the body (all bytes before the last four), one byte read and appended at a time.
ByteStream BaselineDecode(const ByteStream& file);

// Descrambles every whole word of the scrambled region, reading and writing back one word at a time.
void BaselineDescramble(ByteStream& decoded);

Description BaselineDescribe(std::string_view fileName, const ByteStream& file,
                             const DescribeOptions& options);

// Reads the whole file into memory first. Throws FileError when it cannot be read.
Description BaselineDescribeFile(const std::filesystem::path& path, const DescribeOptions& options);

} // namespace lmp::testkit
