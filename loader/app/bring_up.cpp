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

// The key as the checker's set-up will find it. A brand-new user's key lacks values, which the
// environment library writes, through a connection of its own, the first time it misses one:
// these reads do not see them, so such a key is left to the checker to read once the reads
// have ended.
std::optional<ProvisioningPass::KernelServices> completeKernelServices() {
    ProvisioningPass::KernelServices kernel = ProvisioningPass::readKernelServices();
    if (!kernel.keyExists || !kernel.language || !kernel.currentConfig) {
        return std::nullopt;
    }
    return kernel;
}

}  // namespace

// docs/PERFORMANCE.md: bring-up.
BringUp::BringUp(DiagnosticLog* log, StoreWrites* writes)
    : reads_(log, writes),
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
