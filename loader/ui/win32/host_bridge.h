#pragma once
// The host's services as the Win32 view uses them, apart from <windows.h> (see win32.h): its
// message boxes (owned by a dialog, or by the host's main window), whether it shows windows,
// its main window, and its command line output.
#include <string>

namespace qm::ui::win32 {

enum class MessageKind { Error, Information };

// A message box with the module loader's caption and an OK button; owner is an HWND or null.
void ShowHostMessage(void* owner, const std::string& text, MessageKind kind);
bool HostHasGui();
// The host's main window as an HWND; null when it has none.
void* HostMainWindow();
void HostPrintLine(const std::string& text);

}  // namespace qm::ui::win32
