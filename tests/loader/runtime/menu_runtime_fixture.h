#pragma once
// A private user with a throw-away installation (QM_APP_PATH), the kernel-services values the
// checker needs, an in-process host whose remembered menus live in the user's folder, and a
// diagnostic log file, for the tests of the menu runtime.
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <cadhost/host.h>
#include <qmtest/relocated_user.h>

#include "environment/diagnostic_log.h"
#include "runtime/menu_group_automation.h"

namespace qmtest {

// False when QMTEST_HOST_WITHOUT_CHANGE_COUNT is set: the tests then run once more through a
// host whose menu-group collection keeps no change count, as the real host's does not, so
// that the loader walks the collection for every lookup.
bool hostKeepsChangeCount();

class MenuRuntimeTest : public ::testing::Test {
protected:
    MenuRuntimeTest();
    ~MenuRuntimeTest() override;

    // Writes an .mnu menu forming group at root()/relative; extra lines follow the group line.
    std::string writeInstalledMenu(const std::string& relative, const std::string& group,
                                   const std::string& extra = "");
    // Writes an .mnu menu anywhere (absolute path).
    static void writeMenuFile(const std::string& path, const std::string& group,
                              const std::string& extra = "");
    // Loads a menu straight into the host, as a group restored from an earlier session.
    void preload(const std::string& menuFile);

    std::vector<std::string> groupNames() const;
    bool isLoaded(const std::string& group) const;
    // The file a loaded group came from; empty when not loaded.
    std::string groupFile(const std::string& group) const;
    std::string logText() const;
    // <user data>/Menus
    std::string userMenus() const;

    const std::string& root() const { return root_; }

    TempDir installDir_;
    std::string root_;
    RelocatedUser user_;
    std::ostringstream hostOutput_;
    std::unique_ptr<cadhost::Host> host_;
    std::string logFile_;
    qm::DiagnosticLog log_;
    qm::MenuGroupAutomation automation_;
};

}  // namespace qmtest
