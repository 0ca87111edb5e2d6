#include "gui/shell/FileTypeNames.h"

#include <algorithm>
#include <utility>

#include <QMimeDatabase>

#include "core/Utf8.h"

namespace lmp::gui {

namespace {

// The extension of a name, lower case, as the type is looked up by: after the last dot, none for a name
// that starts with its only dot.
std::string LowerExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    const std::string_view extension = name.substr(dot + 1);
    if (std::all_of(extension.begin(), extension.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::string lower(extension);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        return lower;
    }
    return QString::fromStdString(SafeText(extension)).toLower().toStdString();
}

// The type shown for files of a lower-case extension, by the name alone: the database is asked about the
// extension, never about the contents.
QString TypeOfExtension(const std::string& extension)
{
    // The game's own files, named alike on every desktop.
    static const struct {
        const char* extension;
        const char* type;
    } kGameTypes[] = {
        {"td4", "Track design"}, {"tp4", "Track image"}, {"sv4", "Saved game"}, {"sc4", "Scenario"}};
    for (const auto& known : kGameTypes) {
        if (extension == known.extension) {
            return QString::fromLatin1(known.type);
        }
    }
    if (extension.empty()) {
        return QStringLiteral("File");
    }
    const QString text = QString::fromStdString(extension);
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + text, QMimeDatabase::MatchExtension);
    if (!mime.isDefault()) {
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }
    return text.toUpper() + QStringLiteral(" File");
}

} // namespace

std::uint16_t FileTypeNames::Number(std::string_view fileName)
{
    std::string extension = LowerExtension(fileName);
    if (const auto known = numbers_.find(extension); known != numbers_.end()) {
        return known->second;
    }
    if (extensions_.size() >= kUnnumbered) {
        return kUnnumbered;
    }
    const auto number = static_cast<std::uint16_t>(extensions_.size());
    extensions_.push_back(extension);
    names_.emplace_back();
    numbers_.emplace(std::move(extension), number);
    return number;
}

QString FileTypeNames::Name(std::uint16_t number, std::string_view fileName) const
{
    if (number == kUnnumbered) {
        return TypeOfExtension(LowerExtension(fileName));
    }
    QString& name = names_[number];
    if (name.isNull()) {
        name = TypeOfExtension(extensions_[number]);
    }
    return name;
}

} // namespace lmp::gui
