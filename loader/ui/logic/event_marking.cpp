#include "ui/logic/event_marking.h"

namespace qm::ui {

void MarkEvent(ModuleRecord& record, MarkMode mode, std::string_view baseModuleKey) {
    const bool isBase = record.GetKey() == baseModuleKey;
    switch (mode) {
        case MarkMode::Load:
            record.SetEvent(record.CanLoad() ? kEventLoadModule : kEventNone);
            return;
        case MarkMode::Unload:
            if (record.GetMenusLoaded() != 0 || record.GetPendingEvent() == kEventUnloadModule) {
                if (!isBase) {
                    record.SetEvent(kEventUnloadModule);
                }
            } else {
                record.SetEvent(kEventNone);
            }
            return;
        case MarkMode::Toggle:
            if (record.GetPendingEvent() != kEventNone) {
                record.SetEvent(kEventNone);
            } else if (record.GetMenusLoaded() == 0) {
                record.SetEvent(kEventLoadModule);
            } else if (!isBase) {
                record.SetEvent(kEventUnloadModule);
            }
            return;
    }
}

}  // namespace qm::ui
