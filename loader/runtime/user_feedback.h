#pragma once
// What the layers below the application may ask of the user interface around them: a wait
// cursor while a long operation runs, and a message box. The host provides it (HostFeedback,
// which the loader's context owns); a tool that runs without a host passes none, and then
// nothing is shown. This keeps the catalogue, which needs only these two things, free of the
// host library.
#include <string>
#include <string_view>

namespace qm {

class UserFeedback {
public:
    virtual ~UserFeedback() = default;
    // Shows (true) or takes down (false) the wait cursor; calls nest.
    virtual void setBusy(bool busy) = 0;
    // Shows text in a message box with an OK button and the exclamation icon, in front of the
    // host's main window, and returns when the user has closed it.
    virtual void showMessage(std::string_view text, std::string_view caption) = 0;
};

// Shows feedback's wait cursor for its own lifetime; does nothing without feedback.
class BusyScope {
public:
    explicit BusyScope(UserFeedback* feedback) : feedback_(feedback) {
        if (feedback_) {
            feedback_->setBusy(true);
        }
    }
    ~BusyScope() {
        if (feedback_) {
            feedback_->setBusy(false);
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    UserFeedback* feedback_;
};

}  // namespace qm
