// The front end module's one export. Everything else in the module keeps hidden visibility.
#include <type_traits>

#include "gui_front_end.h"

extern "C" __attribute__((visibility("default"))) int cadhostRunGuiSession(
    int* argc, char** argv, cadhost::gui::BringUpFn bringUp, void* context) {
    // The check against the type cadhost calls through.
    static_assert(std::is_same_v<decltype(&cadhostRunGuiSession), cadhost::gui::GuiEntryFn>);
    return cadhost::gui::runGuiSession(
        *argc, argv, [bringUp, context](cadhost::Host& host) { bringUp(context, host); });
}
