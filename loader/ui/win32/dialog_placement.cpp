#include "ui/win32/dialog_placement.h"

#include <qmenv/environment.h>

#include <algorithm>
#include <cstdint>

namespace qm::ui::win32 {
namespace {

constexpr const char* kLeft = "WindowLeft";
constexpr const char* kTop = "WindowTop";
constexpr const char* kWidth = "WindowWidth";
constexpr const char* kHeight = "WindowHeight";
constexpr const char* kMaximized = "WindowMaximized";

}  // namespace

DialogPlacement::DialogPlacement(std::string rootKey, std::string dialogName)
    : rootKey_(std::move(rootKey)), dialogName_(std::move(dialogName)) {}

std::string DialogPlacement::key() const {
    return rootKey_ + "\\Dialogs\\" + dialogName_;
}

bool DialogPlacement::getData(const std::string& name, int& value) const {
    QmEnWinRegistry registry;
    std::int32_t stored = 0;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, key() + "\\Data", false) ||
        !registry.ReadLong(name, stored)) {
        return false;
    }
    value = stored;
    return true;
}

void DialogPlacement::setData(const std::string& name, int value) const {
    QmEnWinRegistry registry;
    if (registry.OpenKey(kQmEnHKeyCurrentUser, key() + "\\Data", true)) {
        registry.WriteLong(name, value);
    }
}

void DialogPlacement::store(HWND dialog) const {
    QmEnWinRegistry registry;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(dialog, &placement) ||
        !registry.OpenKey(kQmEnHKeyCurrentUser, key(), true)) {
        return;
    }
    // The normal (restored) rectangle also while maximized; workspace coordinates are screen
    // coordinates for a window without WS_EX_TOOLWINDOW on a monitor without a docked bar.
    const RECT& normal = placement.rcNormalPosition;
    registry.WriteLong(kLeft, normal.left);
    registry.WriteLong(kTop, normal.top);
    registry.WriteLong(kWidth, normal.right - normal.left);
    registry.WriteLong(kHeight, normal.bottom - normal.top);
    registry.WriteLong(kMaximized, placement.showCmd == SW_SHOWMAXIMIZED ? 1 : 0);
}

bool DialogPlacement::restore(HWND dialog, SIZE minimum) const {
    QmEnWinRegistry registry;
    std::int32_t left = 0, top = 0, width = 0, height = 0, maximized = 0;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, key(), false) ||
        !registry.ReadLong(kWidth, width) || !registry.ReadLong(kHeight, height)) {
        return false;
    }
    RECT now{};
    GetWindowRect(dialog, &now);
    int x = now.left;
    int y = now.top;
    if (registry.ReadLong(kLeft, left) && registry.ReadLong(kTop, top)) {
        // A position off every monitor (one since removed) is not restored.
        if (MonitorFromPoint(POINT{left, top}, MONITOR_DEFAULTTONULL) != nullptr) {
            x = left;
            y = top;
        }
    }
    SetWindowPos(dialog, nullptr, x, y, std::max<int>(width, minimum.cx),
                 std::max<int>(height, minimum.cy), SWP_NOZORDER | SWP_NOACTIVATE);
    registry.ReadLong(kMaximized, maximized);
    if (maximized != 0) {
        ShowWindow(dialog, SW_MAXIMIZE);
    }
    return true;
}

}  // namespace qm::ui::win32
