#pragma once
// The three ways a module can start with the host, as the loader dialog offers them: the
// settings they stand for, and the image and tooltip that show them.
#include <optional>

#include "runtime/module_record.h"
#include "ui/logic/resource_ids.h"

namespace qm::ui {

enum class StartupOption { NoAction, LoadMenuOnly, LoadModule };

struct StartupOptionInfo {
    bool autoStart;
    bool demandLoad;
    int bitmap;
    StringId tooltip;
    int button;   // the dialog's button
    int command;  // the grid's menu and accelerator command
};

const StartupOptionInfo& Describe(StartupOption option);
// The option a record's AutoStart and DemandLoad amount to.
StartupOption StartupOptionOf(const ModuleRecord& record);
// The option a button or a command selects; none for other ids.
std::optional<StartupOption> StartupOptionForButton(int id);
std::optional<StartupOption> StartupOptionForCommand(int command);

}  // namespace qm::ui
