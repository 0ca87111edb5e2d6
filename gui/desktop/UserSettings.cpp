#include "gui/desktop/UserSettings.h"

#include <string>
#include <utility>

#include <QDir>
#include <QSet>
#include <QSettings>
#include <QVariant>

namespace lmp::gui {

namespace {

QSettings UserSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("LMPexplorer"),
                     QStringLiteral("LMPexplorer"));
}

const QString kGameDetails = QStringLiteral("View/GameDetails");
const QString kDescriptionCache = QStringLiteral("View/DescriptionCache");
const QString kFilterMask = QStringLiteral("Filter/Mask");
const QString kFilterCustom = QStringLiteral("Filter/CustomExtension");
const QString kGeometry = QStringLiteral("Window/Geometry");
const QString kFrame = QStringLiteral("Window/Frame");
const QString kState = QStringLiteral("Window/State");
const std::array<QString, 3> kSplitters = {QStringLiteral("Window/VerticalSplitter"),
                                           QStringLiteral("Window/UpperSplitter"),
                                           QStringLiteral("Window/LowerSplitter")};
const QString kColumns = QStringLiteral("List/Columns");
const QString kColumnWidths = QStringLiteral("List/ColumnWidths");
const QString kSortColumn = QStringLiteral("List/SortColumn");
const QString kSortDescending = QStringLiteral("List/SortDescending");
const QString kLastFolder = QStringLiteral("List/LastFolder");

// Sizes in pixels that a window can have; anything else is no choice of the user's.
constexpr int kLargestSize = 100000;
constexpr int kMostColumns = 64;

// The settings file that could not be written, once a write failed; and whether that was said.
QString unwritable;
bool noticeGiven = false;

void Store(QSettings& settings)
{
    settings.sync();
    if (settings.status() != QSettings::NoError && unwritable.isEmpty()) {
        unwritable = settings.fileName();
    }
}

// A list of whole numbers within 0..kLargestSize, count of them when count is not 0; empty otherwise.
QList<int> Sizes(const QVariant& value, qsizetype count)
{
    QList<int> sizes;
    for (const QString& text : value.toStringList()) {
        bool valid = false;
        const int size = text.toInt(&valid);
        if (!valid || size < 0 || size > kLargestSize) {
            return {};
        }
        sizes << size;
    }
    return count == 0 || sizes.size() == count ? sizes : QList<int>();
}

QStringList Texts(const QList<int>& sizes)
{
    QStringList texts;
    for (const int size : sizes) {
        texts << QString::number(size);
    }
    return texts;
}

} // namespace

bool ReadGameDetailsShown()
{
    return UserSettings().value(kGameDetails, false).toBool();
}

void WriteGameDetailsShown(bool shown)
{
    QSettings settings = UserSettings();
    settings.setValue(kGameDetails, shown);
    Store(settings);
}

bool ReadDescriptionCacheUsed()
{
    return UserSettings().value(kDescriptionCache, true).toBool();
}

void WriteDescriptionCacheUsed(bool used)
{
    QSettings settings = UserSettings();
    settings.setValue(kDescriptionCache, used);
    Store(settings);
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
    Store(settings);
}

WindowChoices ReadWindowChoices()
{
    const QSettings settings = UserSettings();
    WindowChoices choices;
    choices.geometry = settings.value(kGeometry).toByteArray();
    choices.frame = settings.value(kFrame).toRect();
    choices.state = settings.value(kState).toByteArray();
    for (std::size_t splitter = 0; splitter < kSplitters.size(); ++splitter) {
        choices.splitters[splitter] = Sizes(settings.value(kSplitters[splitter]), 2);
    }
    // Titles given twice, or widths that do not go with them, are no layout the window wrote.
    const QStringList columns = settings.value(kColumns).toStringList();
    const QList<int> widths = Sizes(settings.value(kColumnWidths), columns.size());
    if (!columns.isEmpty() && !widths.isEmpty() && columns.size() <= kMostColumns &&
        QSet<QString>(columns.begin(), columns.end()).size() == columns.size()) {
        choices.columns = columns;
        choices.columnWidths = widths;
    }
    choices.sortColumn = settings.value(kSortColumn).toString();
    choices.sortDescending = settings.value(kSortDescending, false).toBool();
    // Stored as the name's bytes, which text would not keep where they are no UTF-8.
    const QByteArray folder = settings.value(kLastFolder).toByteArray();
    try {
        choices.lastFolder = std::filesystem::path(std::u8string(folder.begin(), folder.end()));
    } catch (const std::exception&) {
        choices.lastFolder.clear();
    }
    return choices;
}

void WriteWindowChoices(const WindowChoices& choices)
{
    QSettings settings = UserSettings();
    settings.setValue(kGeometry, choices.geometry);
    settings.setValue(kFrame, choices.frame);
    settings.setValue(kState, choices.state);
    for (std::size_t splitter = 0; splitter < kSplitters.size(); ++splitter) {
        settings.setValue(kSplitters[splitter], Texts(choices.splitters[splitter]));
    }
    settings.setValue(kColumns, choices.columns);
    settings.setValue(kColumnWidths, Texts(choices.columnWidths));
    settings.setValue(kSortColumn, choices.sortColumn);
    settings.setValue(kSortDescending, choices.sortDescending);
    try {
        const std::u8string folder = choices.lastFolder.u8string();
        settings.setValue(kLastFolder, QByteArray::fromStdString(std::string(folder.begin(), folder.end())));
    } catch (const std::exception&) {
        settings.remove(kLastFolder);
    }
    Store(settings);
}

void CheckSettingsWritable()
{
    const QSettings settings = UserSettings();
    if (!settings.isWritable() && unwritable.isEmpty()) {
        unwritable = settings.fileName();
    }
}

QString TakeSettingsNotice()
{
    if (unwritable.isEmpty() || std::exchange(noticeGiven, true)) {
        return {};
    }
    return QStringLiteral("Your choices for the window cannot be kept: %1 cannot be written.")
        .arg(QDir::toNativeSeparators(unwritable));
}

} // namespace lmp::gui
