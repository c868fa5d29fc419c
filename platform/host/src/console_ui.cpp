#include "console_ui.h"

#include "cadhost/host.h"

namespace cadhost {

int defaultButton(unsigned style) {
    const unsigned defaultIndex = (style & MB_DEFMASK) >> 8;  // 0: first button, 1: second...
    switch (style & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return defaultIndex == 0 ? IDOK : IDCANCEL;
        case MB_YESNO:
            return defaultIndex == 0 ? IDYES : IDNO;
        case MB_YESNOCANCEL:
            return defaultIndex == 0 ? IDYES : defaultIndex == 1 ? IDNO : IDCANCEL;
        default:
            return IDOK;
    }
}

int ConsoleUi::messageBox(AcFrameWindow* /*owner*/, const std::string& text,
                          const std::string& caption, unsigned style) {
    host_.print("[" + caption + "] " + text + "\n");
    return defaultButton(style);
}

}  // namespace cadhost
