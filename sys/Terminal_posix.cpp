#include "sys/Terminal.h"

#include <unistd.h>

namespace lmp::sys {

bool StandardOutputIsTerminal() noexcept
{
    return isatty(STDOUT_FILENO) == 1;
}

bool StandardErrorIsTerminal() noexcept
{
    return isatty(STDERR_FILENO) == 1;
}

} // namespace lmp::sys
