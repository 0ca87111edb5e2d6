#include "gui/main/FolderHistory.h"

#include <QDir>

#include "gui/desktop/NativePath.h"

namespace lmp::gui {

void FolderHistory::Visit(const QString& folder)
{
    if (!folders_.empty() && folders_[at_] == folder) {
        return;
    }
    if (!folders_.empty()) {
        folders_.resize(at_ + 1);
    }
    folders_.push_back(folder);
    if (folders_.size() > kLimit) {
        folders_.erase(folders_.begin());
    }
    at_ = folders_.size() - 1;
}

std::optional<QString> FolderHistory::Back()
{
    if (!CanGoBack()) {
        return std::nullopt;
    }
    return folders_[--at_];
}

std::optional<QString> FolderHistory::Forward()
{
    if (!CanGoForward()) {
        return std::nullopt;
    }
    return folders_[++at_];
}

std::optional<QString> FolderAbove(const QString& folder)
{
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    // A root: "/", or a drive such as "C:/".
    if (slash < 0 || slash == path.size() - 1) {
        return QString();
    }
    QString above = path.left(slash);
    if (above.isEmpty() || above.endsWith(QLatin1Char(':'))) {
        above += QLatin1Char('/');
    }
    return above;
}

QString LocationText(const QString& folder)
{
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(ShownName(NativePath(folder)));
}

QString TypedLocation(const QString& typed, const QString& folder, const QString& home)
{
    if (typed == LocationText(folder)) {
        return folder;
    }
    QString path = QDir::fromNativeSeparators(typed.trimmed());
    if (path.isEmpty()) {
        return path;
    }
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) {
        path = home + path.mid(1);
    } else if (QDir::isRelativePath(path) && !folder.isEmpty()) {
        path = folder + QLatin1Char('/') + path;
    }
    return QDir::cleanPath(path);
}

} // namespace lmp::gui
