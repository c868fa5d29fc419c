// The application object as the host drives it, with the real start-up sequence on a small
// installation: which message does what, and what the clean-up at quit leaves.
#include "app/module_loader_app.h"

#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>

#include <sstream>
#include <vector>

#include "app/startup_sequence.h"
#include "environment/registry_layout.h"
#include "qmtest/module_settings.h"
#include "qmtest/relocated_user.h"
#include "test_installation.h"

namespace {

void noCommand() {}

class ModuleLoaderAppTest : public ::testing::Test {
protected:
    ModuleLoaderAppTest() : user_(installDir_.path()), install_(installDir_.path()) {
        install_.addModule({"QM_ROADS", "Roads", "KRQM_ROADS", {}});
        qmtest::storeModuleSettings(
            "QM_ROADS", {{"Activated", "True"}, {"AutoStart", "True"}, {"DemandLoad", "False"}});
    }

    // The loader's command is registered exactly when a second registration is refused.
    bool commandRegistered() {
        const bool refused = acedRegCmds()->addCommand("KRQM_MODULELOADER", "KRQM_ModuleLoader_Arx",
                                                       "KRQM_ModuleLoader_Arx", ACRX_CMD_MODAL,
                                                       &noCommand) != Acad::eOk;
        if (!refused) {
            acedRegCmds()->removeCmd("KRQM_MODULELOADER", "KRQM_ModuleLoader_Arx");
        }
        return refused;
    }
    bool groupLoaded(const std::string& name) const {
        for (const auto& g : host_.menuGroups()) {
            if (g.name == name) {
                return true;
            }
        }
        return false;
    }

    qmtest::TempDir installDir_;
    qmtest::RelocatedUser user_;
    qmtest::TestInstallation install_;
    std::ostringstream out_;
    cadhost::Host host_{cadhost::HostOptions{&out_, {}}};
    qm::CQmModuleLoaderApp app_{&noCommand, &qm::RunStartupSequence};
};

TEST_F(ModuleLoaderAppTest, UnknownMessagesChangeNothingAndQuitOnlyDropsTheModules) {
    ASSERT_EQ(app_.dispatch(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    ASSERT_EQ(app_.context().modules().size(), 1u);
    ASSERT_TRUE(groupLoaded("KRQM_ROADS"));
    ASSERT_TRUE(commandRegistered());

    // Codes past the last message, and the messages that have no work: nothing happens.
    for (int code : std::vector<int>{16, 17, 1000, AcRx::kNullMsg, AcRx::kCfgMsg, AcRx::kEndMsg,
                                     AcRx::kSaveMsg, AcRx::kPreQuitMsg, AcRx::kEndDialogMsg}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(app_.dispatch(static_cast<AcRx::AppMsgCode>(code), nullptr), AcRx::kRetOK);
        EXPECT_EQ(app_.context().modules().size(), 1u);
        EXPECT_TRUE(commandRegistered());
    }

    EXPECT_EQ(app_.dispatch(AcRx::kQuitMsg, nullptr), AcRx::kRetOK);
    EXPECT_TRUE(app_.context().modules().empty());
    EXPECT_TRUE(groupLoaded("KRQM_ROADS")) << "nothing is unloaded at quit";
    EXPECT_TRUE(commandRegistered());
    EXPECT_EQ(app_.dispatch(AcRx::kQuitMsg, nullptr), AcRx::kRetOK) << "an empty list too";

    EXPECT_EQ(app_.dispatch(AcRx::kUnloadAppMsg, nullptr), AcRx::kRetOK);
    EXPECT_FALSE(commandRegistered());
}

}  // namespace
