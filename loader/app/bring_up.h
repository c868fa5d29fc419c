#pragma once
// One start-up's bring-up: what the start-up sequence reads once and hands down. The sequence
// makes one and passes it, or the part a layer needs, by reference: the registry reads and the
// catalogue scans (StartupPass) to the catalogue, which reads the settings in its scan, the
// provisioning pass to LoadMenuList and through it to the checker. Nothing keeps a pointer to
// it, and it goes when the start-up ends.
//
// Made, it has read, in one registry read transaction of the current user's store with the
// product key's subtree prefetched at once: the kernel-services values (the current
// configuration and language, and the checker's view of the key) and the configuration
// recorded at the previous start; and, once, the machine-wide autostart override. It holds
// the installation, user-data and application-data paths (in the provisioning pass, the one
// place that keeps them). The reads go on (the catalogue, the settings) until endReads; the
// start-up's writes then go in one transaction of their own.
//
// Not thread-safe: the start-up's thread uses it from creation to destruction.
#include <optional>
#include <string>

#include "catalogue/startup_pass.h"
#include "checker/provisioning_pass.h"

namespace qm {

class DiagnosticLog;
class StoreWrites;

class BringUp {
public:
    // log (may be null) hears the registry's failures; writes is the start-up's write gate,
    // through which the missing module keys are created.
    BringUp(DiagnosticLog* log, StoreWrites* writes);
    BringUp(const BringUp&) = delete;
    BringUp& operator=(const BringUp&) = delete;

    // QmEnGetCurrentConfig() and QmEnGetLanguageCode(), asked once.
    const std::string& config() const { return config_; }
    const std::string& language() const { return language_; }
    // The configuration recorded at the previous start ("" when none was).
    const std::string& recordedConfig() const { return recordedConfig_; }
    // The machine-wide override: modules that start with the host are not started.
    bool autostartOverride() const { return autostartOverride_; }
    // The switches of the environment (environment/switches.h).
    bool safeMode() const { return safeMode_; }
    bool useSnapshot() const { return useSnapshot_; }

    StartupPass& reads() { return reads_; }
    ProvisioningPass& provisioning() { return provisioning_; }
    const std::string& appPath() { return provisioning_.appPath(); }

    // Ends the registry reads. The module keys the scan found missing are left to
    // reads().createMissingKeys(), inside the start-up's write transaction.
    void endReads() { reads_.finishReads(); }

private:
    // Declared in the order they are read: the reads begin first.
    StartupPass reads_;
    // Whether the kernel-services key had all its values when the reads began.
    bool kernelWasComplete_;
    std::string config_;
    std::string language_;
    std::string recordedConfig_;
    bool autostartOverride_ = false;
    bool safeMode_ = false;
    bool useSnapshot_ = false;
    ProvisioningPass provisioning_;
};

}  // namespace qm
