#pragma once

// windows.h as the Windows sources of this layer use it: without the min and max macros, which would
// break std::min and std::max, and without the rarely used parts that slow every build.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
