#include "gui/shell/FolderFirstOrder.h"

#include <string_view>

#include <QByteArray>

#include "core/NaturalOrder.h"

namespace lmp::gui {

bool NameLess(const QString& left, const QString& right)
{
    const QByteArray a = left.toUtf8();
    const QByteArray b = right.toUtf8();
    return NaturalLess(std::string_view(a.constData(), static_cast<std::size_t>(a.size())),
                       std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
}

} // namespace lmp::gui
