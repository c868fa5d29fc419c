#include "ui/logic/accelerator_table.h"

#include "ui/logic/resource_ids.h"
#include "ui/logic/resource_strings.h"

namespace qm::ui {
namespace {

constexpr Accelerator kTable205[] = {
    {kVkF5, false, kCmdNothing}, {'L', true, kCmdLoad},         {'U', true, kCmdUnload},
    {'N', true, kCmdNoAction},   {'M', true, kCmdLoadMenuOnly}, {'I', true, kCmdLoadModule},
};
constexpr AcceleratorTable kAccelerators205{kTable205};

}  // namespace

const AcceleratorTable* AcceleratorTable::load(int id) {
    if (CurrentStringTable() == nullptr || id != kAcceleratorTable) {
        return nullptr;
    }
    return &kAccelerators205;
}

std::optional<int> AcceleratorTable::translate(int virtualKey, bool control, bool shift,
                                               bool alt) const {
    if (shift || alt) {
        return std::nullopt;
    }
    for (const Accelerator& entry : entries_) {
        if (entry.virtualKey == virtualKey && entry.control == control) {
            return entry.command;
        }
    }
    return std::nullopt;
}

}  // namespace qm::ui
