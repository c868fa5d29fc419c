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

#include <string>
#include <string_view>

#include "qmsys/text.h"

namespace qmtest {

// UTF-8 text as the wide string the Windows functions take.
inline std::wstring wide(std::string_view utf8) {
    const std::u16string units = qmsys::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

// True when the tests run under Wine, which is not Windows: where its answers differ from
// Windows', tests say so rather than take them for Windows'.
inline bool runningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace qmtest
