#pragma once
// User-interface services of the console host: a message box prints "[CAPTION] TEXT" on the
// host's output and is answered with its default button; there is no wait cursor to show.
#include "cadhost/services.h"

namespace cadhost {

class Host;

class ConsoleUi final : public UiServices {
public:
    explicit ConsoleUi(Host& host) : host_(host) {}
    int messageBox(AcFrameWindow* owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    void setWaitCursor(bool) override {}

private:
    Host& host_;
};

// The button a message box of that style answers with when the user just presses Enter.
int defaultButton(unsigned style);

}  // namespace cadhost
