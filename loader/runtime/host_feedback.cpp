#include "runtime/host_feedback.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>

namespace qm {

void HostFeedback::setBusy(bool busy) {
    if (busy) {
        cadhost::beginWaitCursor();
    } else {
        cadhost::endWaitCursor();
    }
}

void HostFeedback::showMessage(std::string_view text, std::string_view caption) {
    // The host framework's own message box gives an OK-only box the exclamation icon.
    cadhost::messageBox(acedGetAcadFrame(), text, caption,
                        cadhost::MB_OK | cadhost::MB_ICONWARNING);
}

}  // namespace qm
