#include "gui/main/DropCopy.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include <QLocale>
#include <QMessageBox>

#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"
#include "sys/CommandLine.h"
#include "sys/FileCopy.h"
#include "sys/FileNames.h"
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

// Why the copy of source failed with error, told from the source's side but for a full disk: the
// target's side is what is left.
QString FailureReason(const std::filesystem::path& source, const std::error_code& error)
{
    std::error_code checked;
    if (std::filesystem::is_directory(source, checked)) {
        return QStringLiteral("is a folder");
    }
    if (error == std::errc::no_space_on_device) {
        return QStringLiteral("the disk is full");
    }
    if (!sys::InputFile::Open(source, checked)) {
        return QStringLiteral("cannot be read");
    }
    return QStringLiteral("cannot be written");
}

// One source into the target to: copied, or after the question, or with the "to All" answer held in
// toAll (true: overwrite); error says why a failed copy failed.
ItemOutcome CopyOne(std::size_t item, const std::filesystem::path& from, const std::filesystem::path& to,
                    const CopyControl& control, std::optional<bool>& toAll, std::error_code& error)
{
    sys::CopyWatch watch{control.stop, {}};
    if (control.progress) {
        watch.progress = [&control, item](std::uint64_t written) { control.progress(item, written); };
    }
    const CopyResult first = CopyOneFile(from, to, CopyMode::FailIfExists, control.faults, watch);
    if (first.status == CopyStatus::Copied) {
        return ItemOutcome::Copied;
    }
    if (first.status == CopyStatus::Cancelled) {
        return ItemOutcome::Cancelled;
    }
    if (first.status != CopyStatus::TargetExists) {
        error = first.error;
        return ItemOutcome::Failed;
    }
    OverwriteAnswer answer = OverwriteAnswer::No;
    if (toAll) {
        answer = *toAll ? OverwriteAnswer::Yes : OverwriteAnswer::No;
    } else if (control.ask) {
        answer = control.ask(ShownName(from.filename()));
    }
    if (answer == OverwriteAnswer::YesToAll || answer == OverwriteAnswer::NoToAll) {
        toAll = answer == OverwriteAnswer::YesToAll;
    }
    if (answer == OverwriteAnswer::Cancel) {
        return ItemOutcome::Cancelled;
    }
    if (answer == OverwriteAnswer::No || answer == OverwriteAnswer::NoToAll) {
        return ItemOutcome::Kept;
    }
    const CopyResult second = CopyOneFile(from, to, CopyMode::Overwrite, control.faults, watch);
    if (second.status == CopyStatus::Cancelled) {
        return ItemOutcome::Cancelled;
    }
    error = second.error;
    return second.status == CopyStatus::Copied ? ItemOutcome::Overwritten : ItemOutcome::Failed;
}

// The folder as the user names it: without the separator at its end, but for a root.
QString ShownFolder(const QString& path)
{
    QString shown = SafeBoxText(path);
    const bool root = shown.size() == 1 || (shown.size() == 3 && shown[1] == QLatin1Char(':'));
    if (!root && (shown.endsWith(QLatin1Char('/')) || shown.endsWith(QLatin1Char('\\')))) {
        shown.chop(1);
    }
    return shown;
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

QMessageBox* OverwriteBox(const QString& fileName, QWidget* parent)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Warning"), OverwriteQuestion(fileName),
                                QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No |
                                    QMessageBox::NoToAll | QMessageBox::Cancel,
                                parent);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

OverwriteAnswer AnswerOf(int standardButton)
{
    switch (standardButton) {
    case QMessageBox::Yes:
        return OverwriteAnswer::Yes;
    case QMessageBox::YesToAll:
        return OverwriteAnswer::YesToAll;
    case QMessageBox::NoToAll:
        return OverwriteAnswer::NoToAll;
    case QMessageBox::Cancel:
        return OverwriteAnswer::Cancel;
    default:
        return OverwriteAnswer::No;
    }
}

std::vector<ItemOutcome> CopyItems(const std::vector<std::filesystem::path>& sources, const QString& folder,
                                   const AskOverwrite& ask, QStringList* notCopied)
{
    CopyControl control;
    control.ask = [&ask](const QString& fileName) {
        return ask(fileName) ? OverwriteAnswer::Yes : OverwriteAnswer::No;
    };
    return RunCopies(sources, NativePath(folder), control, notCopied);
}

std::vector<ItemOutcome> RunCopies(const std::vector<std::filesystem::path>& sources,
                                   const std::filesystem::path& folder, const CopyControl& control,
                                   QStringList* notCopied)
{
    std::vector<ItemOutcome> outcomes;
    outcomes.reserve(sources.size());
    if (!sources.empty()) {
        sys::RemoveStaleTemporaries(folder);
    }
    std::optional<bool> toAll;
    bool cancelled = false;
    // Files of one name from several folders (a search's) would overwrite each other: the first goes.
    std::set<std::string> names;
    for (std::size_t item = 0; item < sources.size(); ++item) {
        const std::filesystem::path& from = sources[item];
        ItemOutcome outcome = ItemOutcome::Cancelled;
        std::error_code error;
        std::string name = sys::Utf8FromPath(from.filename());
        if (!sys::NamesAreCaseSensitive()) {
            name = QString::fromStdString(name).toCaseFolded().toStdString();
        }
        const bool repeated = !names.insert(std::move(name)).second;
        if (!cancelled && !control.stop.stop_requested()) {
            // The name's own bytes go to the target, whatever they show as.
            outcome = repeated ? ItemOutcome::Failed
                               : CopyOne(item, from, folder / from.filename(), control, toAll, error);
        }
        cancelled = outcome == ItemOutcome::Cancelled;
        outcomes.push_back(outcome);
        if (notCopied != nullptr && outcome == ItemOutcome::Failed) {
            *notCopied << SafeBoxText(ShownName(from.filename())) + QStringLiteral(": ") +
                              (repeated ? QStringLiteral("a file of the same name was dropped with it")
                                        : FailureReason(from, error));
        }
        if (control.finished) {
            control.finished(item, outcome);
        }
    }
    return outcomes;
}

QString NotCopiedMessage(const QStringList& notCopied)
{
    QStringList lines = notCopied.mid(0, kNotCopiedLines);
    if (notCopied.size() > kNotCopiedLines) {
        lines << QStringLiteral("and %1 more").arg(QLocale().toString(notCopied.size() - kNotCopiedLines));
    }
    return QStringLiteral("Not copied:\n") + lines.join(QLatin1Char('\n'));
}

std::optional<CopyRequest> DropRequest(const TTreeNode& target, const TShellListView& list, QWidget& parent)
{
    QStringList captions;
    for (TTreeNode node = target; node; node = node.Parent()) {
        captions << node.Caption();
    }
    const TargetFolder folder = TargetFolderFromCaptions(captions);
    if (!folder.driveFound) {
        ShowMessage(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), NoDriveMessage(folder.path),
                    QMessageBox::Ok, &parent);
        return std::nullopt;
    }
    CopyRequest request;
    request.folder = NativePath(folder.path);
    request.folderText = ShownFolder(folder.path);
    const int count = list.ItemCount();
    for (int index = 0; index < count; ++index) {
        if (list.Selected(index)) {
            request.sources.push_back(list.ItemFile(index));
        }
    }
    return request;
}

QString CopySummary(const std::vector<ItemOutcome>& outcomes, const QString& folderText)
{
    if (outcomes.empty()) {
        return {};
    }
    const auto copied =
        static_cast<qsizetype>(std::count_if(outcomes.begin(), outcomes.end(), [](ItemOutcome outcome) {
            return outcome == ItemOutcome::Copied || outcome == ItemOutcome::Overwritten;
        }));
    const auto total = static_cast<qsizetype>(outcomes.size());
    const QLocale locale;
    const QString files = total == 1 ? QStringLiteral("file") : QStringLiteral("files");
    QString text = copied == total
                       ? QStringLiteral("Copied %1 %2 to %3").arg(locale.toString(total), files, folderText)
                       : QStringLiteral("Copied %1 of %2 %3 to %4")
                             .arg(locale.toString(copied), locale.toString(total), files, folderText);
    if (std::find(outcomes.begin(), outcomes.end(), ItemOutcome::Cancelled) != outcomes.end()) {
        text += QStringLiteral("; cancelled");
    }
    return text;
}

} // namespace lmp::gui
