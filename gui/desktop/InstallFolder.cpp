#include "gui/desktop/InstallFolder.h"

#include <QMetaType>
#include <QSettings>
#include <QVariant>

namespace lmp::gui {

std::optional<QString> ReadInstallFolder()
{
    // QSettings only reads until something is set, and nothing is: the key is never written, so a
    // user without the rights to change the machine-wide settings still gets the game folder.
    QSettings settings(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("Norrow Softworks"),
                       QStringLiteral("Lumora Parks Setup"));
    // The setup's own record only, not the organisation-wide one beside it.
    settings.setFallbacksEnabled(false);
    if (settings.status() != QSettings::NoError || settings.allKeys().isEmpty()) {
        return std::nullopt;
    }
    const QVariant value = settings.value(QStringLiteral("Path"));
    if (!value.isValid()) {
        return QString();
    }
    if (value.typeId() != QMetaType::QString) {
        throw SettingsError("Invalid data type for 'Path'");
    }
    return value.toString();
}

} // namespace lmp::gui
