#include "gui/shell/FolderFirstOrder.h"

#include <string_view>

#include <QByteArray>
#include <QFileSystemModel>

#include "core/NaturalOrder.h"

namespace lmp::gui {

bool NameLess(const QString& left, const QString& right)
{
    const QByteArray a = left.toUtf8();
    const QByteArray b = right.toUtf8();
    return NaturalLess(std::string_view(a.constData(), static_cast<std::size_t>(a.size())),
                       std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
}

bool FolderFirstOrder::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const bool leftIsFolder = files->isDir(left);
    if (leftIsFolder != files->isDir(right)) {
        return leftIsFolder;
    }
    return NameLess(files->fileName(left), files->fileName(right));
}

} // namespace lmp::gui
