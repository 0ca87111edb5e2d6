#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lmp::sys {

// A value of the settings that another program recorded, as the system's store of settings holds it.
// Reading settings through Qt takes a text with a comma in a settings file for a list, and on Windows
// reads a registry value of any type; this tells text from other data.
struct StoredSetting {
    bool isText = false; // otherwise data of another type
    std::string text;    // UTF-8, when isText
};

// The value name of the record at place, which is given as Qt's native settings name it. On POSIX
// systems place is a settings file: the value is read from its [General] part (the keys before any
// part belong to it) as written, quotes left out, backslash escapes decoded, a ";" outside quotes
// starting a comment, blanks around it dropped unless quoted; a value written as "@Variant(...)" or
// "@ByteArray(...)" is data. On Windows place is a registry key, "\HKEY_LOCAL_MACHINE\Software\..."
// or "\HKEY_CURRENT_USER\...", and only a string value is text. The record is opened for reading
// only. None when it or the value is not there, or it cannot be read.
std::optional<StoredSetting> ReadStoredSetting(std::string_view place, std::string_view name);

} // namespace lmp::sys
