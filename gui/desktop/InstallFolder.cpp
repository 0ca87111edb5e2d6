#include "gui/desktop/InstallFolder.h"

#include <QMetaType>
#include <QSettings>
#include <QVariant>

#include "sys/StoredSetting.h"

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
    const QString key = QStringLiteral("Path");
    const QVariant value = settings.value(key);
    // Text is text, commas and all; values that QSettings stores as data of another type are not, even
    // when the data turns out to be text or cannot be read at all. In the registry a list of texts is a
    // type of its own, not a text.
    const std::optional<sys::StoredSetting> stored =
        sys::ReadStoredSetting(settings.fileName().toStdString(), key.toStdString());
    if (stored && !stored->isText) {
        throw SettingsError("Invalid data type for 'Path'");
    }
    if (value.typeId() == QMetaType::QStringList && stored) {
        return QString::fromStdString(stored->text);
    }
    if (!value.isValid()) {
        return QString();
    }
    if (value.typeId() != QMetaType::QString) {
        throw SettingsError("Invalid data type for 'Path'");
    }
    return value.toString();
}

} // namespace lmp::gui
