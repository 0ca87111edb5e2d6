#include "gui/desktop/NativePath.h"

#include <QFile>

namespace lmp::gui {

std::filesystem::path NativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
#endif
}

QString ShownName(const std::filesystem::path& name)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(name.native());
#else
    return QString::fromUtf8(name.native().data(), static_cast<qsizetype>(name.native().size()));
#endif
}

} // namespace lmp::gui
