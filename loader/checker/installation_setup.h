#pragma once
// The facts a checker object establishes before it copies anything: the kernel-services key of
// the current user exists, the installation root exists, the current language and
// configuration (stored on the checker), and the installation's "Base/Config/Launchrig.ini".
// Each failed check appends one report line; checks stop at the first failure.
#include <string>

namespace qmreg {
class Hive;
}

namespace qm {

class StartUpCheckerLib;

class InstallationSetup {
public:
    explicit InstallationSetup(StartUpCheckerLib& checker) : checker_(checker) {}

    // True when the checker's report is empty afterwards, so a checker that failed once keeps
    // failing. Strips one trailing separator from the root directory.
    bool Run();

private:
    // Reads a string value of the kernel-services key; a missing value (or one longer than
    // the 511 characters a fixed buffer takes) appends its report line.
    bool ReadStringValue(qmreg::Hive& hive, const std::string& name, std::string& out);
    bool CheckConfigurationFile();

    StartUpCheckerLib& checker_;
};

}  // namespace qm
