#include "cli/Messages.h"

#include "core/Utf8.h"

namespace lmp::cli {

std::string FormatStderrMessage(std::string_view text)
{
    // Paths in messages come from anywhere: none of their bytes may act on the terminal.
    return "lmpinfo: " + SafeText(text);
}

} // namespace lmp::cli
