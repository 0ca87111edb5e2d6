#pragma once

#include <optional>
#include <stdexcept>

#include <QString>

namespace lmp::gui {

// A setting that holds something other than what the program reads from it.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The game's installation folder as its setup recorded it, machine-wide, for organisation
// "Norrow Softworks", application "Lumora Parks Setup", value "Path": on Windows the registry key
// under HKEY_LOCAL_MACHINE, elsewhere the system-scope settings file that QSettings::setPath can move.
// Opened for reading only. Empty when the setup left no such record or it cannot be read; an empty
// text when the value is missing. A text value is read as written, commas and blanks kept. Throws
// SettingsError "Invalid data type for 'Path'" when the value is not text (in the settings file a
// @Variant(...) or @ByteArray(...) value; in the registry any type but a string).
std::optional<QString> ReadInstallFolder();

} // namespace lmp::gui
