#include "ui/logic/dialog_placement.h"

#include <qmenv/environment.h>

#include <cstdint>

namespace qm::ui {
namespace {

constexpr const char* kLeft = "WindowLeft";
constexpr const char* kTop = "WindowTop";
constexpr const char* kWidth = "WindowWidth";
constexpr const char* kHeight = "WindowHeight";
constexpr const char* kMaximized = "WindowMaximized";

}  // namespace

std::string DialogPersistence::registryKey() const {
    return rootKey_ + "\\Dialogs\\" + dialogName_;
}

std::optional<int> DialogPersistence::dialogData(const std::string& name) const {
    if (!persistent_) {
        return std::nullopt;
    }
    QmEnWinRegistry registry;
    std::int32_t stored = 0;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registryKey() + "\\Data", false) ||
        !registry.ReadLong(name, stored)) {
        return std::nullopt;
    }
    return stored;
}

void DialogPersistence::setDialogData(const std::string& name, int value) {
    if (!persistent_) {
        return;
    }
    QmEnWinRegistry registry;
    if (registry.OpenKey(kQmEnHKeyCurrentUser, registryKey() + "\\Data", true)) {
        registry.WriteLong(name, value);
    }
}

std::optional<DialogPlacement> DialogPersistence::placement() const {
    if (!persistent_) {
        return std::nullopt;
    }
    QmEnWinRegistry registry;
    std::int32_t left = 0, top = 0, width = 0, height = 0, maximized = 0;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registryKey(), false) ||
        !registry.ReadLong(kWidth, width) || !registry.ReadLong(kHeight, height)) {
        return std::nullopt;
    }
    DialogPlacement placement{0, 0, width, height, false, false};
    if (registry.ReadLong(kLeft, left) && registry.ReadLong(kTop, top)) {
        placement.left = left;
        placement.top = top;
        placement.hasPosition = true;
    }
    placement.maximized = registry.ReadLong(kMaximized, maximized) && maximized != 0;
    return placement;
}

void DialogPersistence::storePlacement(const DialogPlacement& placement) {
    if (!persistent_) {
        return;
    }
    QmEnWinRegistry registry;
    if (!registry.OpenKey(kQmEnHKeyCurrentUser, registryKey(), true)) {
        return;
    }
    registry.WriteLong(kLeft, placement.left);
    registry.WriteLong(kTop, placement.top);
    registry.WriteLong(kWidth, placement.width);
    registry.WriteLong(kHeight, placement.height);
    registry.WriteLong(kMaximized, placement.maximized ? 1 : 0);
}

std::string ColumnWidthItemName(int column) {
    return "Size of column " + std::to_string(column);
}

}  // namespace qm::ui
