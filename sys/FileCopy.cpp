#include "sys/FileCopy.h"

#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "sys/FileCopySteps.h"
#include "sys/InputFile.h"

namespace lmp::sys {

using namespace detail;

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 18;
constexpr int kTemporaryNameAttempts = 100;
constexpr std::string_view kTemporaryPrefix = ".lmp-copy-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 16;
constexpr char kDigits[] = "0123456789abcdef";

// A name no other program uses, hidden where the platform hides dot files.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& folder)
{
    std::random_device random;
    const std::uint64_t value = (std::uint64_t{random()} << 32) ^ std::uint64_t{random()};
    std::string name(kTemporaryPrefix);
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += kDigits[(value >> shift) & 0xF];
    }
    name += kTemporarySuffix;
    return folder / name;
}

// Whether name is one that TemporaryNameIn gives, in the platform's characters.
bool IsTemporaryName(const std::filesystem::path::string_type& name)
{
    using Char = std::filesystem::path::value_type;
    const std::size_t digitsAt = kTemporaryPrefix.size();
    const std::size_t suffixAt = digitsAt + kTemporaryDigits;
    if (name.size() != suffixAt + kTemporarySuffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const Char c = name[i];
        const bool fits = i < digitsAt   ? c == static_cast<Char>(kTemporaryPrefix[i])
                          : i < suffixAt ? (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')
                                         : c == static_cast<Char>(kTemporarySuffix[i - suffixAt]);
        if (!fits) {
            return false;
        }
    }
    return true;
}

std::filesystem::path FolderOf(const std::filesystem::path& target)
{
    const std::filesystem::path folder = target.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// The copy while it is written: an unnamed file, or a file under a temporary name (path). Unless it
// was put in place, it goes with the object: an unnamed file when it is closed, a named one removed.
struct Draft {
    FileHandle file;
    std::filesystem::path path;
    bool placed = false;

    Draft() = default;
    Draft(const Draft&) = delete;
    Draft& operator=(const Draft&) = delete;
    ~Draft()
    {
        if (!path.empty() && !placed) {
            file.Close();
            RemoveTemporary(path);
        }
    }
};

// Gives the draft the first name of TemporaryNameIn's that step(path, error) takes, trying again
// while the names are taken.
template <typename Step>
bool TakeTemporaryName(const std::filesystem::path& folder, Draft& draft, std::error_code& error, Step step)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::filesystem::path path = TemporaryNameIn(folder);
        if (step(path, error)) {
            draft.path = path;
            return true;
        }
        if (error != ExistsError()) {
            return false;
        }
    }
    return false;
}

std::error_code CancelledError()
{
    return std::make_error_code(std::errc::operation_canceled);
}

// One stop check per piece bounds how long a cancelled copy goes on to the writing of one piece.
bool FillDraft(InputFile& source, Draft& draft, const CopyFaults& faults, const CopyWatch& watch,
               std::error_code& error)
{
    const std::unique_ptr<std::uint8_t[]> buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    std::uint64_t written = 0;
    for (;;) {
        if (watch.stop.stop_requested()) {
            error = CancelledError();
            return false;
        }
        std::size_t got = 0;
        if (!source.Read(std::span(buffer.get(), kChunkSize), got, error)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        const bool full = faults.writeLimit - written < got;
        const std::size_t allowed = full ? static_cast<std::size_t>(faults.writeLimit - written) : got;
        if (!WriteAll(draft.file, buffer.get(), allowed, error)) {
            return false;
        }
        written += allowed;
        if (full) {
            error = std::make_error_code(std::errc::no_space_on_device);
            return false;
        }
        if (faults.afterWrite) {
            faults.afterWrite(written);
        }
        if (watch.progress) {
            watch.progress(written);
        }
    }
}

// A link takes only a free name: a copy that replaces a file is linked under a temporary name first
// and renamed over the target in one step, as a named copy is.
bool PlaceUnnamed(Draft& draft, const std::filesystem::path& target, CopyMode mode, std::error_code& error)
{
    if (LinkUnnamed(draft.file, target, error)) {
        return true;
    }
    if (mode == CopyMode::FailIfExists || error != ExistsError()) {
        return false;
    }
    const auto link = [&draft](const std::filesystem::path& path, std::error_code& failure) {
        return LinkUnnamed(draft.file, path, failure);
    };
    return TakeTemporaryName(FolderOf(target), draft, error, link) &&
           PlaceReplacing(draft.path, target, error);
}

CopyResult Failure(std::error_code error)
{
    return {error == ExistsError() ? CopyStatus::TargetExists : CopyStatus::Failed, error};
}

} // namespace

CopyResult CopyOneFile(const std::filesystem::path& source, const std::filesystem::path& target,
                       CopyMode mode, const CopyFaults& faults, const CopyWatch& watch)
{
    if (watch.stop.stop_requested()) {
        return {CopyStatus::Cancelled, CancelledError()};
    }
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
    Draft draft;
    const bool unnamed = !faults.noUnnamedFile && CreateUnnamed(folder, draft.file, error);
    const auto create = [&draft](const std::filesystem::path& path, std::error_code& failure) {
        return CreateExclusive(path, draft.file, failure);
    };
    if (!unnamed && (error || !TakeTemporaryName(folder, draft, error, create))) {
        return {CopyStatus::Failed, error};
    }
    if (!FillDraft(*input, draft, faults, watch, error)) {
        return {error == CancelledError() ? CopyStatus::Cancelled : CopyStatus::Failed, error};
    }
    const bool placed = unnamed
                            ? Settle(*input, draft.file, error) && PlaceUnnamed(draft, target, mode, error)
                            : Finish(*input, draft.file, draft.path, error) &&
                                  (mode == CopyMode::Overwrite ? PlaceReplacing(draft.path, target, error)
                                                               : PlaceNoReplace(draft.path, target, error));
    if (!placed) {
        return Failure(error);
    }
    draft.placed = true;
    SyncFolder(folder);
    return {CopyStatus::Copied, {}};
}

void RemoveStaleTemporaries(const std::filesystem::path& folder, std::chrono::system_clock::time_point now)
{
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::filesystem::path& path = entry->path();
        std::chrono::system_clock::time_point touched;
        if (IsTemporaryName(path.filename().native()) && LastTouched(path, touched) &&
            now - touched > kStaleTemporaryAge) {
            RemoveTemporary(path);
        }
    }
}

} // namespace lmp::sys
