#include "qmsys/display.h"

#include <cstdlib>
#include <string_view>

namespace qmsys {

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

}  // namespace qmsys
