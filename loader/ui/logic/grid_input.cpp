#include "ui/logic/grid_input.h"

#include <algorithm>
#include <numeric>

#include "ui/logic/accelerator_table.h"
#include "ui/logic/resource_ids.h"

namespace qm::ui {
namespace {

// Whether a modifier must be held, must not be, or does not matter.
enum class Held { No, Yes, Any };

bool matches(Held rule, bool held) {
    return rule == Held::Any || (rule == Held::Yes) == held;
}

struct KeyRow {
    int virtualKey;
    Held control;
    Held shift;
    GridKeyRule rule;
};

using A = GridKeyAction;
using S = GridSelectionRule;

// The first row that matches decides. Keys with Alt are system keys and never reach a row.
constexpr KeyRow kKeyRows[] = {
    {kVkTab, Held::Any, Held::Any, {A::FocusButtons, S::Default, true}},
    {kVkSpace, Held::Any, Held::Any, {A::ToggleMarks, S::Default, true}},
    {kVkHome, Held::Yes, Held::No, {A::FirstRow, S::Collapse, true}},
    {kVkHome, Held::Yes, Held::Yes, {A::FirstRow, S::Extend, true}},
    {kVkEnd, Held::Yes, Held::No, {A::LastRow, S::Collapse, true}},
    {kVkEnd, Held::Yes, Held::Yes, {A::LastRow, S::Extend, true}},
};

}  // namespace

GridKeyRule GridKeyRuleFor(int virtualKey, KeyModifiers modifiers) {
    if (modifiers.alt) {
        return {};
    }
    for (const KeyRow& row : kKeyRows) {
        if (row.virtualKey == virtualKey && matches(row.control, modifiers.control) &&
            matches(row.shift, modifiers.shift)) {
            return row.rule;
        }
    }
    return {};
}

std::optional<int> GridAccelerator(const AcceleratorTable* table, int virtualKey,
                                   KeyModifiers modifiers) {
    if (table == nullptr) {
        return std::nullopt;
    }
    return table->translate(virtualKey, modifiers.control, modifiers.shift, modifiers.alt);
}

GridSelection SelectionAfterMove(const GridSelection& before, int target, GridSelectionRule rule) {
    switch (rule) {
        case GridSelectionRule::Collapse:
            // Also when the current row did not move (Ctrl+Home right after Shift+Ctrl+Home).
            return {target, target, {target}};
        case GridSelectionRule::Extend: {
            const int anchor = before.anchor > 0 ? before.anchor : target;
            GridSelection after{target, anchor, {}};
            after.rows.resize(static_cast<std::size_t>(std::abs(target - anchor) + 1));
            std::iota(after.rows.begin(), after.rows.end(), std::min(anchor, target));
            return after;
        }
        case GridSelectionRule::Default:
            break;
    }
    return before;
}

int TabFocusTarget(bool loadEnabled, bool unloadEnabled) {
    if (loadEnabled) {
        return kIdLoad;
    }
    return unloadEnabled ? kIdUnload : 0;
}

GridMouseRule GridMouseRuleFor(GridMouseButton button, int row, bool rowSelected) {
    if (row == 0) {
        // Right clicks on the header are the grid's own.
        return button == GridMouseButton::Right ? GridMouseRule{}
                                                : GridMouseRule{GridMouseAction::SortColumn, false};
    }
    if (row < 0) {
        return {};
    }
    switch (button) {
        case GridMouseButton::LeftDouble:
            return {GridMouseAction::ToggleMarks, false};
        case GridMouseButton::Right:
            return {GridMouseAction::ContextMenu, !rowSelected};
        case GridMouseButton::Left:
            break;
    }
    return {};
}

}  // namespace qm::ui
