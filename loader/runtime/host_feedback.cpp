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

void HostFeedback::showMessage(const std::string& text, const std::string& caption) {
    cadhost::messageBox(acedGetAcadFrame(), text, caption, cadhost::MB_OK);
}

}  // namespace qm
