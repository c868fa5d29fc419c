#include "runtime/module_record.h"

#include <qmsys/text.h>

#include "environment/names.h"

namespace qm {

const char* ModuleEventLabel(ModuleEvent event) {
    switch (event) {
        case kEventNone:
            return "No event";
        case kEventLoadModule:
            return "Load module (menu and programs)";
        case kEventUnloadModule:
            return "Unload module";
        case kEventLoadMenu:
            return "Load menu";
        case kEventUnloadMenu:
            return "Unload menu";
    }
    return "";
}

ModuleRecord::ModuleRecord(const ModuleRecord& other) {
    *this = other;
}

ModuleRecord& ModuleRecord::operator=(const ModuleRecord& other) {
    if (this == &other) {
        return *this;
    }
    key_ = other.key_;
    versionMajor_ = other.versionMajor_;
    versionMinor_ = other.versionMinor_;
    displayName_ = other.displayName_;
    menus_.CopyMenuList(other.menus_);
    menusLoaded_ = other.menusLoaded_;
    pendingEvent_ = other.pendingEvent_;
    autoStart_ = other.autoStart_;
    demandLoad_ = other.demandLoad_;
    activated_ = other.activated_;
    applications_ = other.applications_;
    if (other.started_ == 1) {
        StartModule();
    }
    return *this;
}

// Member by member rather than through the assignment: a fresh record is not started, so the
// result is the same, without first building empty members only to replace them.
ModuleRecord::ModuleRecord(ModuleRecord&& other) noexcept
    : key_(std::move(other.key_)),
      versionMajor_(other.versionMajor_),
      versionMinor_(other.versionMinor_),
      displayName_(std::move(other.displayName_)),
      menus_(std::move(other.menus_)),
      menusLoaded_(other.menusLoaded_),
      pendingEvent_(other.pendingEvent_),
      autoStart_(other.autoStart_),
      demandLoad_(other.demandLoad_),
      activated_(other.activated_),
      applications_(std::move(other.applications_)) {
    for (MenuEntry& entry : menus_) {
        entry.flag = true;  // as a copy re-adds every entry
    }
    if (other.started_ == 1) {
        StartModule();
    }
}

ModuleRecord& ModuleRecord::operator=(ModuleRecord&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    key_ = std::move(other.key_);
    versionMajor_ = other.versionMajor_;
    versionMinor_ = other.versionMinor_;
    displayName_ = std::move(other.displayName_);
    menus_ = std::move(other.menus_);
    for (MenuEntry& entry : menus_) {
        entry.flag = true;  // as a copy re-adds every entry
    }
    menusLoaded_ = other.menusLoaded_;
    pendingEvent_ = other.pendingEvent_;
    autoStart_ = other.autoStart_;
    demandLoad_ = other.demandLoad_;
    activated_ = other.activated_;
    applications_ = std::move(other.applications_);
    if (other.started_ == 1) {
        StartModule();
    }
    return *this;
}

bool ModuleRecord::StartModule() {
    started_ = 1;
    return true;
}

void ModuleRecord::StopModule() {
    if (qmsys::iequals(key_, names::kBaseModuleKey)) {
        return;
    }
    if (started_ == 1) {
        started_ = 0;
    }
}

void ModuleRecord::SetEvent(ModuleEvent event) {
    if (menusLoaded_ == 0 && event == kEventUnloadModule) {
        pendingEvent_ = kEventNone;
    } else if (menusLoaded_ == 1 && event == kEventLoadModule) {
        pendingEvent_ = kEventNone;
    } else {
        pendingEvent_ = event;
    }
}

bool ModuleRecord::CanLoad() const {
    return menusLoaded_ != 1 || pendingEvent_ == kEventLoadModule;
}

}  // namespace qm
