#include "ui/logic/startup_option.h"

namespace qm::ui {
namespace {

constexpr StartupOption kAll[] = {StartupOption::NoAction, StartupOption::LoadMenuOnly,
                                  StartupOption::LoadModule};

constexpr StartupOptionInfo kNoAction{
    false, false, kBitmapNoAction, StringId::NoAction, kIdStartNoAction, kCmdNoAction};
constexpr StartupOptionInfo kLoadMenuOnly{true,
                                          true,
                                          kBitmapLoadMenuOnly,
                                          StringId::LoadMenuOnly,
                                          kIdStartLoadMenuOnly,
                                          kCmdLoadMenuOnly};
constexpr StartupOptionInfo kLoadModule{
    true, false, kBitmapLoadModule, StringId::LoadModule, kIdStartLoadModule, kCmdLoadModule};

}  // namespace

const StartupOptionInfo& Describe(StartupOption option) {
    switch (option) {
        case StartupOption::LoadMenuOnly:
            return kLoadMenuOnly;
        case StartupOption::LoadModule:
            return kLoadModule;
        case StartupOption::NoAction:
            break;
    }
    return kNoAction;
}

StartupOption StartupOptionOf(const ModuleRecord& record) {
    if (!record.GetAutoStart()) {
        return StartupOption::NoAction;
    }
    return record.GetDemandLoad() ? StartupOption::LoadMenuOnly : StartupOption::LoadModule;
}

std::optional<StartupOption> StartupOptionForButton(int id) {
    for (StartupOption option : kAll) {
        if (Describe(option).button == id) {
            return option;
        }
    }
    return std::nullopt;
}

std::optional<StartupOption> StartupOptionForCommand(int command) {
    for (StartupOption option : kAll) {
        if (Describe(option).command == command) {
            return option;
        }
    }
    return std::nullopt;
}

}  // namespace qm::ui
