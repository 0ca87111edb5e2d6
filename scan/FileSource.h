#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>

#include "core/PackedFile.h"

namespace lmp {

// The regular file at path opened read-only, for a PackedFileReader. Reading stops at the size it had
// then, so a file that grows meanwhile cannot keep the read going. Throws FileError, with the system's
// reason and error, when it cannot be opened or is not a regular file ("Not a regular file"); the source
// throws FileError when it cannot be read.
std::unique_ptr<ByteSource> OpenFileSource(const std::filesystem::path& path);

// Reads a regular file whole with a PackedFileReader. Throws FileError when it cannot be opened or read,
// or is not a regular file.
PackedFile ReadPackedFile(const std::filesystem::path& path, std::size_t extent);

} // namespace lmp
