#pragma once
// The parts a host is made of. The API functions reach them through Host::impl().
#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>

#include "application_manager.h"
#include "automation_application.h"
#include "cadhost/host.h"
#include "command_stack.h"
#include "dispatch_stack.h"
#include "document_manager.h"
#include "dynamic_linker.h"
#include "menu_group_collection.h"

namespace cadhost {

struct Host::Impl {
    explicit Impl(const HostOptions& options);

    std::mutex outputMutex;
    std::ostream* output;

    DispatchStack dispatch;
    CommandStack commands{dispatch};
    DocumentManager documents{dispatch};
    ApplicationManager apps{dispatch, commands, documents};
    DynamicLinker linker{apps};
    std::shared_ptr<MenuGroupCollection> menuGroups;
    AutomationApplication automation{menuGroups};

    // Guards the user-interface services, which other threads may use too.
    std::shared_ptr<UiServices> uiServices();
    std::mutex uiMutex;
    std::shared_ptr<UiServices> ui;
    int waitCursorDepth = 0;
    std::atomic<AcFrameWindow*> frame{nullptr};

    std::atomic<bool> quitRequested{false};
    bool quitDone = false;
};

}  // namespace cadhost
