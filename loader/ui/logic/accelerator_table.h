#pragma once
// An accelerator table of the module loader's resources: keys (Windows virtual-key codes with
// an optional Ctrl modifier) that send a command id to a target window.
#include <optional>
#include <span>

namespace qm::ui {

inline constexpr int kVkF5 = 0x74;

struct Accelerator {
    int virtualKey;  // 'A'..'Z' are their upper-case ASCII codes
    bool control;
    int command;
};

class AcceleratorTable {
public:
    // Table `id` of the current resources (see resource_strings.h); null when the module
    // loader's resources are not current or have no such table.
    static const AcceleratorTable* load(int id);

    // The command of the entry whose key and modifiers match exactly: an entry without Ctrl
    // fires only when neither Ctrl, Shift nor Alt is held, a Ctrl entry only for Ctrl alone.
    std::optional<int> translate(int virtualKey, bool control, bool shift, bool alt) const;
    std::span<const Accelerator> entries() const { return entries_; }

    constexpr explicit AcceleratorTable(std::span<const Accelerator> entries) : entries_(entries) {}

private:
    std::span<const Accelerator> entries_;
};

}  // namespace qm::ui
