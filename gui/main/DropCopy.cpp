#include "gui/main/DropCopy.h"

#include <optional>
#include <system_error>

#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"
#include "sys/FileCopy.h"
#include "sys/InputFile.h"
#include "sys/ShellNames.h"

namespace lmp::gui {

using sys::CopyMode;
using sys::CopyOneFile;
using sys::CopyResult;
using sys::CopyStatus;

namespace {

QChar Separator(PathStyle style)
{
    return style == PathStyle::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

// The path's start for a drive node's caption, the separator included; none for other nodes.
std::optional<QString> DriveOf(const QString& caption, PathStyle style)
{
    if (style == PathStyle::Posix) {
        return caption == QLatin1String("/") ? std::optional<QString>(caption) : std::nullopt;
    }
    if (!IsDriveLabel(caption)) {
        return std::nullopt;
    }
    return caption.mid(caption.size() - 3, 2) + Separator(style);
}

// Why the copy of source failed, told from the source's side: the target's side is what is left.
QString FailureReason(const std::filesystem::path& source)
{
    std::error_code error;
    if (std::filesystem::is_directory(source, error)) {
        return QStringLiteral("is a folder");
    }
    if (!sys::InputFile::Open(source, error)) {
        return QStringLiteral("cannot be read");
    }
    return QStringLiteral("cannot be written");
}

} // namespace

PathStyle NativePathStyle() noexcept
{
    return sys::HasDriveLetters() ? PathStyle::Windows : PathStyle::Posix;
}

bool IsDriveLabel(const QString& text)
{
    const qsizetype size = text.size();
    return size >= 4 && text[size - 4] == QLatin1Char('(') && text[size - 2] == QLatin1Char(':') &&
           text[size - 1] == QLatin1Char(')');
}

TargetFolder TargetFolderFromCaptions(const QStringList& captions, PathStyle style)
{
    TargetFolder folder;
    if (captions.isEmpty()) {
        return folder;
    }
    const QChar separator = Separator(style);
    if (const std::optional<QString> drive = DriveOf(captions.front(), style)) {
        folder.path = *drive;
        folder.driveFound = true;
    } else {
        folder.path = captions.front();
    }
    for (qsizetype above = 1; !folder.driveFound && above < captions.size(); ++above) {
        if (const std::optional<QString> drive = DriveOf(captions[above], style)) {
            folder.path.prepend(*drive);
            folder.driveFound = true;
        } else {
            folder.path.prepend(captions[above] + separator);
        }
    }
    if (folder.driveFound && !folder.path.endsWith(separator)) {
        folder.path += separator;
    }
    return folder;
}

QString NoDriveMessage(const QString& path)
{
    return QStringLiteral("Sorry; unable to drag to \"") + SafeBoxText(path) + QLatin1Char('"');
}

QString OverwriteQuestion(const QString& fileName)
{
    return SafeBoxText(fileName) + QStringLiteral(" already exists. Do you want to overwrite?");
}

std::vector<ItemOutcome> CopyItems(const std::vector<std::filesystem::path>& sources, const QString& folder,
                                   const AskOverwrite& ask, QStringList* notCopied)
{
    std::vector<ItemOutcome> outcomes;
    outcomes.reserve(sources.size());
    const std::filesystem::path target = NativePath(folder);
    if (!sources.empty()) {
        sys::RemoveStaleTemporaries(target);
    }
    for (const std::filesystem::path& from : sources) {
        // The name's own bytes go to the target, whatever they show as.
        const std::filesystem::path to = target / from.filename();
        const QString name = ShownName(from.filename());
        const CopyResult first = CopyOneFile(from, to, CopyMode::FailIfExists);
        if (first.status == CopyStatus::Copied) {
            outcomes.push_back(ItemOutcome::Copied);
        } else if (first.status != CopyStatus::TargetExists) {
            outcomes.push_back(ItemOutcome::Failed);
        } else if (!ask(name)) {
            outcomes.push_back(ItemOutcome::Kept);
        } else {
            const CopyResult second = CopyOneFile(from, to, CopyMode::Overwrite);
            outcomes.push_back(second.status == CopyStatus::Copied ? ItemOutcome::Overwritten
                                                                   : ItemOutcome::Failed);
        }
        if (notCopied != nullptr && outcomes.back() == ItemOutcome::Failed) {
            *notCopied << SafeBoxText(name) + QStringLiteral(": ") + FailureReason(from);
        }
    }
    return outcomes;
}

QString NotCopiedMessage(const QStringList& notCopied)
{
    return QStringLiteral("Not copied:\n") + notCopied.join(QLatin1Char('\n'));
}

void CopySelectionInto(const TTreeNode& target, const TShellListView& list, QWidget& parent)
{
    QStringList captions;
    for (TTreeNode node = target; node; node = node.Parent()) {
        captions << node.Caption();
    }
    const TargetFolder folder = TargetFolderFromCaptions(captions);
    if (!folder.driveFound) {
        ShowMessage(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), NoDriveMessage(folder.path),
                    QMessageBox::Ok, &parent);
        return;
    }
    // The paths are taken before the first question: while it is open the list may read more of
    // its folder and move items to other indexes.
    std::vector<std::filesystem::path> sources;
    const int count = list.ItemCount();
    for (int index = 0; index < count; ++index) {
        if (list.Selected(index)) {
            sources.push_back(list.ItemFile(index));
        }
    }
    QStringList notCopied;
    CopyItems(
        sources, folder.path,
        [&parent](const QString& fileName) {
            return ShowMessage(QMessageBox::Warning, QStringLiteral("Warning"), OverwriteQuestion(fileName),
                               QMessageBox::Yes | QMessageBox::No, &parent) == QMessageBox::Yes;
        },
        &notCopied);
    if (!notCopied.isEmpty()) {
        ShowMessage(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), NotCopiedMessage(notCopied),
                    QMessageBox::Ok, &parent);
    }
}

} // namespace lmp::gui
