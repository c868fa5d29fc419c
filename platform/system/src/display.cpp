#include "qmsys/display.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdlib>
#include <string_view>
#endif

namespace qmsys {

#if defined(_WIN32)

// A service or a scheduled task runs in a window station nobody sees.
bool displayAvailable() {
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    HWINSTA station = ::GetProcessWindowStation();
    return station != nullptr &&
           ::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

#else

namespace {

std::string_view variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

bool displayAvailable() {
    const std::string_view platform = variable("QT_QPA_PLATFORM");
    if (platform.starts_with("offscreen") || platform.starts_with("minimal")) {
        return false;
    }
    return !variable("DISPLAY").empty() || !variable("WAYLAND_DISPLAY").empty();
}

#endif

}  // namespace qmsys
