#pragma once
// The facts a checker object establishes before it copies anything: the kernel-services key of
// the current user exists, the installation root exists, the current language and
// configuration (stored on the checker), and the installation's "Base/Config/Launchrig.ini".
// Each failed check appends one report line; checks stop at the first failure.
#include <optional>
#include <string>
#include <string_view>

#include "checker/provisioning_pass.h"
#include "checker/start_up_checker_lib.h"

namespace qm {

class InstallationSetup {
public:
    // A set-up that is part of a call running in pass (which outlives this object).
    InstallationSetup(StartUpCheckerLib& checker, ProvisioningPass& pass);
    // A set-up that is a call of its own, in the checker's pass or in one made for it.
    explicit InstallationSetup(StartUpCheckerLib& checker);

    // True when the checker's report is empty afterwards, so a checker that failed once keeps
    // failing. Strips one trailing separator from the root directory.
    bool Run();

private:
    // A string value of the kernel-services key; a missing value (or one longer than the 511
    // characters a fixed buffer takes) appends its report line.
    bool ReadStringValue(const std::optional<std::string>& value, std::string_view name,
                         std::string& out);
    bool CheckConfigurationFile();

    StartUpCheckerLib& checker_;
    StartUpCheckerLib::CallPass pass_;
    const ProvisioningPass::KernelServices& kernel_;
};

}  // namespace qm
