#include "sys/Console.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include "sys/WindowsApi.h"

namespace lmp::sys {

namespace {

UINT previousCodePage = 0;

void RestoreCodePage()
{
    SetConsoleOutputCP(previousCodePage);
}

} // namespace

void PrepareStandardStreams() noexcept
{
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (_isatty(_fileno(stdout)) == 0 && _isatty(_fileno(stderr)) == 0)
        return;
    previousCodePage = GetConsoleOutputCP();
    if (previousCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) != 0)
        std::atexit(RestoreCodePage);
}

} // namespace lmp::sys
