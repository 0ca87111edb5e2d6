#include "gui/desktop/InstallFolder.h"

#include <QFile>
#include <QMetaType>
#include <QSettings>
#include <QVariant>

namespace lmp::gui {

namespace {

#ifndef Q_OS_WIN
// The text of key's value in the [General] part of a settings file, as written: QSettings takes a
// comma outside quotes for a list separator and drops the blanks after it, so a folder such as
// "/games/Parks, Vol 1" is read here instead. Quotes are left out and backslash escapes decoded as
// QSettings writes them; a ";" outside quotes starts a comment. None when the key is not there.
std::optional<QByteArray> RawSettingsText(const QString& fileName, const QByteArray& key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    bool general = true; // keys before the first section belong to [General]
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            general = line == "[General]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!general || equals < 0 || line.left(equals).trimmed() != key) {
            continue;
        }
        const QByteArray written = line.mid(equals + 1).trimmed();
        QByteArray text;
        bool quoted = false;
        for (qsizetype at = 0; at < written.size(); ++at) {
            const char character = written[at];
            if (character == '"') {
                quoted = !quoted;
            } else if (character == ';' && !quoted) {
                break;
            } else if (character == '\\' && at + 1 < written.size()) {
                const char escaped = written[++at];
                switch (escaped) {
                case 'n':
                    text += '\n';
                    break;
                case 't':
                    text += '\t';
                    break;
                case 'r':
                    text += '\r';
                    break;
                default:
                    text += escaped;
                }
            } else {
                text += character;
            }
        }
        return quoted ? text : text.trimmed();
    }
    return std::nullopt;
}
#endif

} // namespace

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
#ifndef Q_OS_WIN
    // Text is text, commas and all; values that QSettings stores as data of another type are not,
    // even when the data turns out to be text or cannot be read at all.
    const std::optional<QByteArray> raw = RawSettingsText(settings.fileName(), key.toUtf8());
    if (raw && (raw->startsWith("@Variant(") || raw->startsWith("@ByteArray("))) {
        throw SettingsError("Invalid data type for 'Path'");
    }
    if (value.typeId() == QMetaType::QStringList && raw) {
        return QString::fromUtf8(*raw);
    }
#endif
    if (!value.isValid()) {
        return QString();
    }
    // In the registry a list of texts is a type of its own, not a text.
    if (value.typeId() != QMetaType::QString) {
        throw SettingsError("Invalid data type for 'Path'");
    }
    return value.toString();
}

} // namespace lmp::gui
