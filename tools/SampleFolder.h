#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "testkit/GameFiles.h"

namespace lmp::tools {

struct SampleFile {
    std::string name;
    testkit::Bytes bytes;
};

// The name of the note that marks a folder as written by WriteSampleFolder.
inline constexpr const char* kSampleNoteName = "About these samples.txt";

// The sample folder's files: track designs, track images, saved games and scenarios of every
// edition, one game file of each type whose checksum matches no rule, and a few other files.
std::vector<SampleFile> SampleFiles();

// Creates folder (and its parents) and writes the sample files into it; returns how many it wrote.
// Throws std::runtime_error, writing nothing, when folder exists, is not empty and is not a sample
// folder (it has no sample note), or is not a folder. Files of a sample folder that are not samples
// are left alone.
std::size_t WriteSampleFolder(const std::filesystem::path& folder);

} // namespace lmp::tools
