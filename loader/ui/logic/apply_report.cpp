#include "ui/logic/apply_report.h"

#include "ui/logic/resource_strings.h"

namespace qm::ui {

std::string ApplyReport::label(ModuleEvent event) {
    switch (event) {
        case kEventLoadModule:
            return ResourceString(StringId::ApplyLabelLoadModule);
        case kEventUnloadModule:
            return ResourceString(StringId::ApplyLabelUnloadModule);
        case kEventLoadMenu:
            return ResourceString(StringId::ApplyLabelLoadMenu);
        case kEventUnloadMenu:
            return ResourceString(StringId::ApplyLabelUnloadMenu);
        case kEventNone:
            break;
    }
    return {};
}

void ApplyReport::addFailure(std::string_view displayName, std::string_view key,
                             ModuleEvent event) {
    ++failures_;
    if (failures_ <= kMaxDetailed) {
        text_ +=
            FormatText(ResourceString(StringId::ApplyFailure), {displayName, key, label(event)});
    } else if (failures_ == kMaxDetailed + 1) {
        text_ += ResourceString(StringId::ApplyTooManyErrors);
    }
}

}  // namespace qm::ui
