#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

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

enum class ItemOutcome {
    Copied,
    Overwritten, // existed, the answer was yes
    Kept,        // existed, the answer was no
    Failed,      // not a regular file, gone, unreadable, or the folder cannot take it
};

// Answers whether the existing file fileName in the target folder is overwritten.
using AskOverwrite = std::function<bool(const QString& fileName)>;

// Copies each source (a full path, its name's bytes as the system stores them) in order into folder
// (ending in the separator) under the source's file name, asking before an existing file is
// overwritten; a failed item is skipped. Nothing that was in the folder is lost, whatever fails, but
// the temporary files that killed copies left there (sys::RemoveStaleTemporaries), which go first. One
// outcome per source. When notCopied is given, each failed item adds a line "NAME: REASON" to it.
std::vector<ItemOutcome> CopyItems(const std::vector<std::filesystem::path>& sources, const QString& folder,
                                   const AskOverwrite& ask, QStringList* notCopied = nullptr);

// The message after a drop that left files out: "Not copied:" and the lines of CopyItems.
QString NotCopiedMessage(const QStringList& notCopied);

// Copies the list's selected files into the folder of the tree node a drop of them landed on: a node
// with no drive above it gets a message instead, each existing file a question before it is
// overwritten, and the files left out are listed at the end; the boxes are shown over parent.
void CopySelectionInto(const TTreeNode& target, const TShellListView& list, QWidget& parent);

} // namespace lmp::gui
