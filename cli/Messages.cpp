#include "cli/Messages.h"

namespace lmp::cli {

std::string FormatStderrMessage(std::string_view text)
{
    std::string message = "lmpinfo: ";
    message += text;
    return message;
}

} // namespace lmp::cli
