#pragma once
// The module loader's process-wide state, in one object. The application object owns exactly
// one; tests build their own. The loader's other state that outlives a call is listed, with
// its owner and lifetime, in docs/ARCHITECTURE.md ("Caches and process-wide state").
//
// Members are created in dependency order (log first) and destroyed in reverse, so the menu
// objects never outlive the log or the lock they use.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "environment/diagnostic_log.h"
#include "runtime/host_feedback.h"
#include "runtime/menu_group_automation.h"
#include "runtime/menu_manager.h"
#include "runtime/module_list.h"
#include "runtime/qco_menu.h"

namespace qmsys {
class ExistenceMarker;
}

namespace qm {

class LoaderContext {
public:
    // Opens the diagnostic log that QM_LOG names (disabled otherwise). While the context
    // lives, the environment library reports its store problems to that log.
    LoaderContext();
    // log: not null (a disabled log writes nothing). protectorWait bounds every wait for the
    // menu protector (tests shorten it).
    explicit LoaderContext(
        std::unique_ptr<DiagnosticLog> log,
        std::chrono::milliseconds protectorWait = MenuGroupAutomation::kDefaultTimeout);
    ~LoaderContext();
    LoaderContext(const LoaderContext&) = delete;
    LoaderContext& operator=(const LoaderContext&) = delete;

    DiagnosticLog& log() { return *log_; }
    // The host's wait cursor and message boxes, for the layers that must not link the host.
    UserFeedback& feedback() { return feedback_; }
    MenuGroupAutomation& menuGroups() { return menuGroups_; }
    MenuManager& menus() { return menus_; }
    QcoMenu& qcoMenu() { return qco_; }

    // The installation's modules in catalogue order; filled once by the start-up sequence.
    ModuleList& modules() { return modules_; }
    // Drops every module record; nothing is unloaded from the host.
    void clearModules() { modules_.clear(); }

    // Key of the base module; set at initialisation, before the start-up sequence.
    const std::string& baseModuleKey() const { return baseModuleKey_; }
    void setBaseModuleKey(std::string_view key) { baseModuleKey_ = key; }

    // Machine-wide "modules are loaded but not started" override, read once at start-up and
    // consulted by the dialogs afterwards.
    bool autostartOverride() const { return autostartOverride_; }
    void setAutostartOverride(bool on) { autostartOverride_ = on; }

    // What the last start-up sequence did, one line per module brought up and a total; empty
    // before it ran. Hosts may print it on request.
    const std::string& startupProfile() const { return startupProfile_; }
    void setStartupProfile(std::string text) { startupProfile_ = std::move(text); }

    // The single-instance marker; held from initialisation until the context dies.
    void holdInstanceMarker(std::unique_ptr<qmsys::ExistenceMarker> marker);
    bool holdsInstanceMarker() const { return marker_ != nullptr; }

private:
    std::unique_ptr<DiagnosticLog> log_;
    HostFeedback feedback_;
    MenuGroupAutomation menuGroups_;
    MenuManager menus_;
    QcoMenu qco_;
    ModuleList modules_;
    std::unique_ptr<qmsys::ExistenceMarker> marker_;
    std::string baseModuleKey_;
    std::string startupProfile_;
    bool autostartOverride_ = false;
};

}  // namespace qm
