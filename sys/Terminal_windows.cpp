#include "sys/Terminal.h"

#include <cstdio>
#include <io.h>

namespace lmp::sys {

bool StandardOutputIsTerminal() noexcept
{
    return _isatty(_fileno(stdout)) != 0;
}

bool StandardErrorIsTerminal() noexcept
{
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace lmp::sys
