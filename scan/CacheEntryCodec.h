#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/Describe.h"
#include "sys/FileStamp.h"

// The bytes of one entry of the cache of descriptions: a file's stamp and the facts describing it gave,
// checked by a hash that takes in the file's path, so that an entry read back under another path or
// damaged on disk is told apart from a good one.
namespace lmp::cache {

// The path's bytes as the system stores them: the cache's key.
std::span<const std::uint8_t> PathBytes(const std::filesystem::path& path) noexcept;

// Facts whose summary is not the one their type and edition call for would describe nothing sensible.
bool Consistent(const DescriptionFacts& facts) noexcept;

// An entry: the stamp, the facts, then the hash of the path and of everything before it.
std::vector<std::uint8_t> EncodeEntry(const std::filesystem::path& path, const sys::FileStamp& stamp,
                                      const DescriptionFacts& facts);

// The stamp and facts of an entry; none when the entry is not one that EncodeEntry wrote for this path.
std::optional<std::pair<sys::FileStamp, DescriptionFacts>> DecodeEntry(const std::filesystem::path& path,
                                                                       std::span<const std::uint8_t> entry);

} // namespace lmp::cache
