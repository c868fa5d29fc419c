#include "ui/win32/host_bridge.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>

#include "environment/names.h"

namespace qm::ui::win32 {

void ShowHostMessage(void* owner, const std::string& text, MessageKind kind) {
    const unsigned icon =
        kind == MessageKind::Error ? cadhost::MB_ICONERROR : cadhost::MB_ICONINFORMATION;
    // The host hands its windows to applications as opaque frames; on Windows they are HWNDs.
    cadhost::messageBox(static_cast<AcFrameWindow*>(owner), text, names::kMessageCaption,
                        cadhost::MB_OK | icon);
}

bool HostHasGui() {
    return cadhost::hasGui();
}

void* HostMainWindow() {
    return acedGetAcadFrame();
}

void HostPrintLine(const std::string& text) {
    acutPrintf("%s\n", text.c_str());
}

}  // namespace qm::ui::win32
