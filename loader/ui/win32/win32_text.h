#pragma once
// Text at the Win32 boundary: the core's UTF-8 and the system's UTF-16.
#include <string>
#include <string_view>

namespace qm::ui::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace qm::ui::win32
