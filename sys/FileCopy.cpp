#include "sys/FileCopy.h"

#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>

#include "sys/FileCopySteps.h"
#include "sys/InputFile.h"

namespace lmp::sys {

using namespace detail;

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 18;
constexpr int kTemporaryNameAttempts = 100;

// A name no other program uses, hidden where the platform hides dot files.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& folder)
{
    std::random_device random;
    const std::uint64_t value = (std::uint64_t{random()} << 32) ^ std::uint64_t{random()};
    constexpr char kDigits[] = "0123456789abcdef";
    std::string name = ".lmp-copy-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += kDigits[(value >> shift) & 0xF];
    }
    name += ".tmp";
    return folder / name;
}

std::filesystem::path FolderOf(const std::filesystem::path& target)
{
    const std::filesystem::path folder = target.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// The copy under its temporary name; removed when it goes out of scope unless it was put in place.
struct Temporary {
    std::filesystem::path path;
    FileHandle file;
    bool placed = false;

    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary()
    {
        if (!path.empty() && !placed) {
            file.Close();
            RemoveTemporary(path);
        }
    }
};

bool CreateTemporary(const std::filesystem::path& folder, Temporary& temporary, std::error_code& error)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::filesystem::path path = TemporaryNameIn(folder);
        if (CreateExclusive(path, temporary.file, error)) {
            temporary.path = path;
            return true;
        }
        if (error != ExistsError()) {
            return false;
        }
    }
    return false;
}

bool FillTemporary(InputFile& source, Temporary& temporary, const CopyFaults& faults, std::error_code& error)
{
    const std::unique_ptr<std::uint8_t[]> buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    std::uint64_t written = 0;
    for (;;) {
        std::size_t got = 0;
        if (!source.Read(std::span(buffer.get(), kChunkSize), got, error)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        const bool full = faults.writeLimit - written < got;
        const std::size_t allowed = full ? static_cast<std::size_t>(faults.writeLimit - written) : got;
        if (!WriteAll(temporary.file, buffer.get(), allowed, error)) {
            return false;
        }
        written += allowed;
        if (full) {
            error = std::make_error_code(std::errc::no_space_on_device);
            return false;
        }
    }
}

CopyResult Failure(std::error_code error)
{
    return {error == ExistsError() ? CopyStatus::TargetExists : CopyStatus::Failed, error};
}

} // namespace

CopyResult CopyOneFile(const std::filesystem::path& source, const std::filesystem::path& target,
                       CopyMode mode, const CopyFaults& faults)
{
    std::error_code error;
    std::optional<InputFile> input = InputFile::Open(source, error);
    if (!input) {
        return {CopyStatus::Failed, error};
    }
    // Written over itself, a file would be truncated before it is read; the copy it asks for is there.
    if (IsSameFile(*input, target)) {
        return mode == CopyMode::FailIfExists ? CopyResult{CopyStatus::TargetExists, ExistsError()}
                                              : CopyResult{CopyStatus::Copied, {}};
    }
    // Found here, an existing target costs no copying; the placing step checks again, atomically.
    if (mode == CopyMode::FailIfExists && NameTaken(target)) {
        return {CopyStatus::TargetExists, ExistsError()};
    }
    const std::filesystem::path folder = FolderOf(target);
    Temporary temporary;
    if (!CreateTemporary(folder, temporary, error)) {
        return {CopyStatus::Failed, error};
    }
    if (!FillTemporary(*input, temporary, faults, error) ||
        !Finish(*input, temporary.file, temporary.path, error)) {
        return {CopyStatus::Failed, error};
    }
    const bool placed = mode == CopyMode::Overwrite ? PlaceReplacing(temporary.path, target, error)
                                                    : PlaceNoReplace(temporary.path, target, error);
    if (!placed) {
        return Failure(error);
    }
    temporary.placed = true;
    SyncFolder(folder);
    return {CopyStatus::Copied, {}};
}

} // namespace lmp::sys
