#pragma once
// The module loader's process-wide state, in one object. The application object owns exactly
// one; tests build their own. Nothing else in the loader keeps state between calls.
#include <memory>
#include <string>

#include "environment/diagnostic_log.h"

namespace qmsys {
class ExistenceMarker;
}

namespace qm {

class LoaderContext {
public:
    // Opens the diagnostic log that QM_LOG names (disabled otherwise).
    LoaderContext();
    explicit LoaderContext(std::unique_ptr<DiagnosticLog> log);
    ~LoaderContext();
    LoaderContext(const LoaderContext&) = delete;
    LoaderContext& operator=(const LoaderContext&) = delete;

    DiagnosticLog& log() { return *log_; }

    // Key of the base module; set at initialisation, before the start-up sequence.
    const std::string& baseModuleKey() const { return baseModuleKey_; }
    void setBaseModuleKey(std::string key) { baseModuleKey_ = std::move(key); }

    // Machine-wide "modules are loaded but not started" override, read once at start-up and
    // consulted by the dialogs afterwards.
    bool autostartOverride() const { return autostartOverride_; }
    void setAutostartOverride(bool on) { autostartOverride_ = on; }

    // Drops every module record; nothing is unloaded from the host.
    void clearModules();

    // The single-instance marker; held from initialisation until the context dies.
    void holdInstanceMarker(std::unique_ptr<qmsys::ExistenceMarker> marker);
    bool holdsInstanceMarker() const { return marker_ != nullptr; }

private:
    std::unique_ptr<DiagnosticLog> log_;
    std::unique_ptr<qmsys::ExistenceMarker> marker_;
    std::string baseModuleKey_;
    bool autostartOverride_ = false;
};

}  // namespace qm
