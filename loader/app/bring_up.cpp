#include "app/bring_up.h"

#include <qmenv/environment.h>

#include <cstdint>
#include <utility>

#include "environment/names.h"
#include "environment/registry_layout.h"
#include "environment/switches.h"

namespace qm {
namespace {

std::string readRecordedConfig() {
    std::string recorded;
    QmEnWinRegistry reg;
    if (reg.OpenKey(kQmEnHKeyCurrentUser, registry_layout::recentConfigKey(), false)) {
        reg.ReadString(names::kValueCurrentConfig, recorded);
    }
    return recorded;
}

// Read from the machine hive only.
bool readAutostartOverride() {
    QmEnWinRegistry reg;
    std::int32_t value = 0;
    if (reg.OpenKey(kQmEnHKeyLocalMachine, registry_layout::moduleLoaderKey(), false) &&
        reg.ReadLong(names::kValueAutostartDisable, value)) {
        return value != 0;
    }
    return false;
}

bool isComplete(const ProvisioningPass::KernelServices& kernel) {
    return kernel.keyExists && kernel.language && kernel.currentConfig;
}

// A brand-new user's kernel-services key lacks values, which the environment library writes
// with their defaults the first time it misses one; inside the reads it would write them
// through a connection of its own at every look, unseen by the reads. So the reads end, the
// library writes the defaults once, and the reads begin again, seeing them. False when that
// was needed.
bool kernelComplete(StartupPass& reads) {
    if (isComplete(ProvisioningPass::readKernelServices())) {
        return true;
    }
    reads.finishReads();
    (void)QmEnGetCurrentConfig();  // writes the missing defaults
    reads.renewReads();
    return false;
}

// The key as the checker's set-up will find it; one that is still incomplete (a store that
// cannot be written) is left to the checker to read at its first use.
std::optional<ProvisioningPass::KernelServices> completeKernelServices() {
    ProvisioningPass::KernelServices kernel = ProvisioningPass::readKernelServices();
    if (!isComplete(kernel)) {
        return std::nullopt;
    }
    return kernel;
}

}  // namespace

// docs/PERFORMANCE.md: bring-up.
BringUp::BringUp(DiagnosticLog* log, StoreWrites* writes)
    : reads_(log, writes),
      kernelWasComplete_(kernelComplete(reads_)),
      config_(QmEnGetCurrentConfig()),
      language_(QmEnGetLanguageCode()),
      recordedConfig_(readRecordedConfig()),
      autostartOverride_(readAutostartOverride()),
      safeMode_(switches::safeMode()),
      useSnapshot_(!switches::noSnapshot()),
      provisioning_(ProvisioningPass::Environment{QmEnGetAppPath(), QmEnGetUserDataPath(),
                                                  QmEnGetAppDataPath(), language_},
                    completeKernelServices()) {}

}  // namespace qm
