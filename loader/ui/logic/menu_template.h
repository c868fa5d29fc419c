#pragma once
// A popup menu of the module loader's resources: its entries in order, each a command with its
// text (the text after a tab names the accelerator key), or a separator.
#include <optional>
#include <span>

#include "ui/logic/resource_ids.h"

namespace qm::ui {

struct MenuItemTemplate {
    int command;                   // 0 for a separator
    std::optional<StringId> text;  // none for a separator
};

class MenuTemplate {
public:
    // The first popup of menu `id` of the current resources; null when the module loader's
    // resources are not current or have no such menu.
    static const MenuTemplate* load(int id);

    std::span<const MenuItemTemplate> items() const { return items_; }

    constexpr explicit MenuTemplate(std::span<const MenuItemTemplate> items) : items_(items) {}

private:
    std::span<const MenuItemTemplate> items_;
};

}  // namespace qm::ui
