#include "gui/desktop/UserSettings.h"

#include <QSettings>
#include <QString>

namespace lmp::gui {

namespace {

QSettings UserSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("LMPexplorer"),
                     QStringLiteral("LMPexplorer"));
}

const QString kGameDetails = QStringLiteral("View/GameDetails");
const QString kFilterMask = QStringLiteral("Filter/Mask");
const QString kFilterCustom = QStringLiteral("Filter/CustomExtension");

} // namespace

bool ReadGameDetailsShown()
{
    return UserSettings().value(kGameDetails, false).toBool();
}

void WriteGameDetailsShown(bool shown)
{
    UserSettings().setValue(kGameDetails, shown);
}

std::optional<FileFilter> ReadListFilter()
{
    const QSettings settings = UserSettings();
    bool valid = false;
    const uint mask = settings.value(kFilterMask).toUInt(&valid);
    // A value that is no mask of the dialog's six boxes is no choice of the user's.
    if (!valid || mask > 63) {
        return std::nullopt;
    }
    return FileFilter{static_cast<std::uint16_t>(mask),
                      settings.value(kFilterCustom).toString().toStdString()};
}

void WriteListFilter(const FileFilter& filter)
{
    QSettings settings = UserSettings();
    settings.setValue(kFilterMask, filter.mask);
    settings.setValue(kFilterCustom, QString::fromStdString(filter.customExtension));
}

} // namespace lmp::gui
