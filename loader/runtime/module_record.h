#pragma once
// One installed module: what its definition says (key, version, display name, menus,
// applications), the user's settings for it, its live state in this host session and the one
// event the user has marked for it.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/menu_list.h"
#include "runtime/qm_application.h"

namespace qm {

// The actions a user can mark on a module. Stored as a 32-bit value; values outside 0..4 can
// reach a record and are carried out as "nothing".
enum ModuleEvent : std::int32_t {
    kEventNone = 0,
    kEventLoadModule = 1,
    kEventUnloadModule = 2,
    kEventLoadMenu = 3,
    kEventUnloadMenu = 4,
};

// The label the module loader dialog shows for an event; "" for values outside 0..4.
const char* ModuleEventLabel(ModuleEvent event);

class ModuleRecord {
public:
    // Empty strings, no menus or applications, nothing loaded or started, no event, AutoStart
    // and DemandLoad off, Activated on, version 0.0.
    ModuleRecord() = default;
    ~ModuleRecord() = default;

    // Copies everything except the started state, which is not a value: a started source
    // starts the target (StartModule); otherwise the target keeps its own started state, so a
    // new copy of a record that is not started is not started either, while assigning such a
    // record to a started one leaves the target started. Moving follows the same rule and
    // only saves the copying of strings, menus and applications; the source is left empty.
    ModuleRecord(const ModuleRecord& other);
    ModuleRecord& operator=(const ModuleRecord& other);
    ModuleRecord(ModuleRecord&& other) noexcept;
    ModuleRecord& operator=(ModuleRecord&& other) noexcept;

    const std::string& GetKey() const { return key_; }
    const std::string& GetDisplayName() const { return displayName_; }
    std::int32_t GetVersionMajor() const { return versionMajor_; }
    std::int32_t GetVersionMinor() const { return versionMinor_; }
    const MenuList& GetMenus() const { return menus_; }
    // The menu loader records group names and may rewrite folders in place.
    MenuList& GetMenus() { return menus_; }
    const ApplicationSet& GetApplications() const { return applications_; }
    std::int32_t GetMenusLoaded() const { return menusLoaded_; }
    std::int32_t GetStarted() const { return started_; }
    ModuleEvent GetPendingEvent() const { return pendingEvent_; }
    bool GetAutoStart() const { return autoStart_; }
    bool GetDemandLoad() const { return demandLoad_; }
    bool GetActivated() const { return activated_; }

    void SetAutoStart(bool on) { autoStart_ = on; }
    void SetDemandLoad(bool on) { demandLoad_ = on; }
    void SetActivated(bool on) { activated_ = on; }
    // A null text makes the key or name empty.
    void SetKey(const char* key) { key_ = key ? key : ""; }
    void SetKey(const std::string& key) { key_ = key; }
    void SetKey(std::string_view key) { key_.assign(key); }
    void SetDisplayName(const char* name) { displayName_ = name ? name : ""; }
    void SetDisplayName(const std::string& name) { displayName_ = name; }
    void SetDisplayName(std::string_view name) { displayName_.assign(name); }
    void SetVersion(std::int32_t major, std::int32_t minor) {
        versionMajor_ = major;
        versionMinor_ = minor;
    }
    // Set by whoever loads or unloads the module's menus (the start-up sequence, the events).
    void SetMenusLoaded(bool loaded) { menusLoaded_ = loaded ? 1 : 0; }

    // Adds a menu unless one of the same name (ignoring ASCII case) is present.
    bool AddMenu(std::string name, std::string folder) {
        return menus_.AddMenu(std::move(name), std::move(folder));
    }
    // Makes room for n menus in all (a reader that knows how many it will add).
    void ReserveMenus(std::size_t n) { menus_.Reserve(n); }
    // Adds an application unless one with the same expanded path is present (the first
    // stays). True when it was added. Applications given in set order (as a snapshot stores
    // them) each cost one comparison, with the last one (docs/PERFORMANCE.md: applications
    // added after the last).
    bool AddApplication(QmApplication application) {
        return applications_.insert(std::move(application)).second;
    }
    // Makes room for n applications in all (a reader that knows how many it will add).
    void ReserveApplications(std::size_t n) { applications_.reserve(n); }

    // Marks the module started. Always true.
    bool StartModule();
    // Marks the module not started, except the base module (its key compared without regard
    // to ASCII case), which stays started once started.
    void StopModule();
    // Stores event, refusing to unload a module whose menus are not loaded and to load one
    // whose menus are (both store kEventNone). Menu-only events are stored as given.
    void SetEvent(ModuleEvent event);
    // Clears the pending event (after it ran, or when the user cancels).
    void ClearEvent() { pendingEvent_ = kEventNone; }
    // True when the menus are not loaded, or loading is already the marked event.
    bool CanLoad() const;

    // The operations that reach the host's menus (LoadModuleMenus, UnloadModuleMenus and
    // ExecuteEvent, which carries out the pending event) build on the menu loader and live
    // with it, outside this class; they use the accessors and state operations above.

private:
    std::string key_;
    std::int32_t versionMajor_ = 0;
    std::int32_t versionMinor_ = 0;
    std::string displayName_;
    MenuList menus_;
    std::int32_t menusLoaded_ = 0;
    std::int32_t started_ = 0;
    ModuleEvent pendingEvent_ = kEventNone;
    bool autoStart_ = false;
    bool demandLoad_ = false;
    bool activated_ = true;
    ApplicationSet applications_;
};

}  // namespace qm
