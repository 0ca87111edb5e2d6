#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

#include <QString>
#include <QStringList>

#include "sys/FileCopy.h"

class QMessageBox;
class QWidget;

namespace lmp::gui {

class TShellListView;
class TTreeNode;

// How the folder tree's captions name folders: under the file-system root node "/" with "/" between
// names, or under drive nodes captioned like "Local Disk (C:)" with "\" between names.
enum class PathStyle { Posix, Windows };

// The system's own: Windows where the file systems hang under drive letters.
PathStyle NativePathStyle() noexcept;

// True when text has at least 4 characters and, of its last four, the first is "(" and the last two
// are ":)"; the drive letter between them is not examined.
bool IsDriveLabel(const QString& text);

struct TargetFolder {
    bool driveFound = false;
    // With a drive: the folder's path, ending in the separator. Without: the captions walked, joined
    // by the separator, for the message.
    QString path;
};

// The folder that a tree node stands for, built from captions: the node's own first, then its
// parent's and so on up to the root, of any length. The walk stops at the first drive node; none
// found (or no captions) gives driveFound false.
TargetFolder TargetFolderFromCaptions(const QStringList& captions, PathStyle style = NativePathStyle());

// The message for a drop on a node with no drive above it, path as TargetFolderFromCaptions gave it
// (shown as SafeBoxText gives it, as is the name in the question below).
QString NoDriveMessage(const QString& path);

// The question asked before a file of that name in the target folder is overwritten.
QString OverwriteQuestion(const QString& fileName);

// The answers to the overwrite question. The "to All" answers hold for the rest of the drop; Cancel
// leaves the file and copies nothing more.
enum class OverwriteAnswer { Yes, No, YesToAll, NoToAll, Cancel };

// The overwrite question for fileName, not yet shown: Yes, Yes to All, No, No to All and Cancel, No
// the default and Escape's answer, titled "Warning", the text plain; it goes with its parent.
QMessageBox* OverwriteBox(const QString& fileName, QWidget* parent);

// The answer of the button that closed an overwrite box.
OverwriteAnswer AnswerOf(int standardButton);

enum class ItemOutcome {
    Copied,
    Overwritten, // existed, the answer was yes
    Kept,        // existed, the answer was no
    Failed,      // not a regular file, gone, unreadable, or the folder cannot take it
    Cancelled,   // not copied: the drop was cancelled before or while it was copied
};

// Answers whether the existing file fileName in the target folder is overwritten.
using AskOverwrite = std::function<bool(const QString& fileName)>;

// What drives a run of copies; each function is called on the thread that runs them.
struct CopyControl {
    // Asked before an existing file is overwritten, unless a "to All" answer was given.
    std::function<OverwriteAnswer(const QString& fileName)> ask;
    // A stop requested ends the run: the file being copied is left out as if it had never been
    // started, and nothing further starts.
    std::stop_token stop;
    // Hears the bytes of the source at index item written so far, as the copy goes.
    std::function<void(std::size_t item, std::uint64_t written)> progress;
    // Hears that the source at index item is done with, and how.
    std::function<void(std::size_t item, ItemOutcome outcome)> finished;
    sys::CopyFaults faults; // what the tests inject into each copy
};

// Copies each source, as CopyItems does, into folder under the source's file name, as control says.
std::vector<ItemOutcome> RunCopies(const std::vector<std::filesystem::path>& sources,
                                   const std::filesystem::path& folder, const CopyControl& control,
                                   QStringList* notCopied = nullptr);

// Copies each source (a full path, its name's bytes as the system stores them) in order into folder
// (ending in the separator) under the source's file name, asking before an existing file is
// overwritten; a failed item is skipped. Nothing that was in the folder is lost, whatever fails, but
// the temporary files that killed copies left there (sys::RemoveStaleTemporaries), which go first. One
// outcome per source. When notCopied is given, each failed item adds a line "NAME: REASON" to it.
std::vector<ItemOutcome> CopyItems(const std::vector<std::filesystem::path>& sources, const QString& folder,
                                   const AskOverwrite& ask, QStringList* notCopied = nullptr);

// The message after a drop that left files out: "Not copied:" and the lines of CopyItems, the first
// kNotCopiedLines of them, then how many more there are.
QString NotCopiedMessage(const QStringList& notCopied);
inline constexpr int kNotCopiedLines = 20;

// What a drop asks to copy: the files selected when it landed, by path, and the folder.
struct CopyRequest {
    std::vector<std::filesystem::path> sources;
    std::filesystem::path folder;
    QString folderText; // the folder as the window names it to the user
};

// The copy that a drop of the list's selected files on the tree node asks for. A node with no drive
// above it gets the message over parent instead, and none.
std::optional<CopyRequest> DropRequest(const TTreeNode& target, const TShellListView& list, QWidget& parent);

// What the window says once a drop is done: how many of its files were copied and where; empty for a
// drop of no files.
QString CopySummary(const std::vector<ItemOutcome>& outcomes, const QString& folderText);

} // namespace lmp::gui
