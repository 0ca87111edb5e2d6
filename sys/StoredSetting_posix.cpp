#include "sys/StoredSetting.h"

#include <fstream>

namespace lmp::sys {

namespace {

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The value as written after "=": quotes left out, backslash escapes decoded as settings files write
// them, a ";" outside quotes ending it.
std::string WrittenText(std::string_view written)
{
    std::string text;
    bool quoted = false;
    for (std::size_t at = 0; at < written.size(); ++at) {
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
    return quoted ? text : std::string(Trimmed(text));
}

} // namespace

std::optional<StoredSetting> ReadStoredSetting(std::string_view place, std::string_view name)
{
    std::ifstream file{std::string(place), std::ios::binary};
    if (!file) {
        return std::nullopt;
    }
    bool general = true; // keys before the first part belong to [General]
    std::string read;
    while (std::getline(file, read)) {
        const std::string_view line = Trimmed(read);
        if (line.starts_with('[')) {
            general = line == "[General]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!general || equals == std::string_view::npos || Trimmed(line.substr(0, equals)) != name) {
            continue;
        }
        StoredSetting setting;
        setting.text = WrittenText(Trimmed(line.substr(equals + 1)));
        setting.isText = !setting.text.starts_with("@Variant(") && !setting.text.starts_with("@ByteArray(");
        return setting;
    }
    return std::nullopt;
}

} // namespace lmp::sys
