#pragma once
// Host user-interface services that answer every message box with OK and remember each one
// shown (text, caption, and the style that chooses its buttons and icon), so that a test sees
// what a user would have seen. Header-only: the test links the host library itself.
#include <cadhost/services.h>

#include <ostream>
#include <string>
#include <vector>

namespace qmtest {

class RecordingUi : public cadhost::UiServices {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned style = 0;
        bool operator==(const Shown&) const = default;
        // How a failing expectation prints one (readable, not as bytes).
        friend void PrintTo(const Shown& shown, std::ostream* out) {
            *out << "{\"" << shown.text << "\", \"" << shown.caption << "\", 0x" << std::hex
                 << shown.style << std::dec << "}";
        }
    };
    int messageBox(AcFrameWindow*, const std::string& text, const std::string& caption,
                   unsigned style) override {
        shown.push_back({text, caption, style});
        return cadhost::IDOK;
    }
    void setWaitCursor(bool) override {}

    std::vector<Shown> shown;
};

}  // namespace qmtest
