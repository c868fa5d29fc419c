#pragma once
// <windows.h> for the Windows-only parts of the tests: without the min and max macros, which
// break std::min and std::max, and without the rarely used parts.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
