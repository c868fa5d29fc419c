#pragma once
// The host's wait cursor and message boxes, offered to the lower layers as UserFeedback. In
// the console host a message is printed and answered with OK; in the GUI host it is a dialog
// owned by the host's main window.
#include "runtime/user_feedback.h"

namespace qm {

class HostFeedback final : public UserFeedback {
public:
    void setBusy(bool busy) override;
    void showMessage(std::string_view text, std::string_view caption) override;
};

}  // namespace qm
