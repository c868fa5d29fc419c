// Carrying out marked events through a real host in-process, the real menu machinery (checker,
// per-user copies, guarded automation) and the real registry store.
#include "runtime/module_events.h"

#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "qmtest/relocated_user.h"
#include "qmtest/wait.h"
#include "runtime/loader_context.h"
#include "test_installation.h"

namespace {

// A path as one argument of an application's command line, whatever spaces it holds.
std::string quoted(const std::string& path) {
    return '"' + path + '"';
}

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class ModuleEventsTest : public ::testing::Test {
protected:
    ModuleEventsTest() : user_(installDir_.path()), install_(installDir_.path()) {
        // As at every start-up, the environment has been asked for the configuration, which
        // sets up a new user's kernel-services values that the menu checker relies on.
        QmEnGetCurrentConfig();
    }

    // A record like the catalogue makes it, with one menu forming group (a broken menu when
    // asked) and the given applications.
    qm::ModuleRecord makeRecord(const std::string& key, const std::string& group,
                                std::vector<qm::QmApplication> apps = {}, bool brokenMenu = false) {
        qmtest::TestModule m{key, key, group, {}};
        m.brokenMenu = brokenMenu;
        install_.addModule(m);
        qm::ModuleRecord r;
        r.SetKey(key);
        r.SetDisplayName(key);
        r.AddMenu(qmtest::TestInstallation::menuName(m), "Modules\\" + key + "\\Menus");
        for (const auto& a : apps) {
            r.AddApplication(a);
        }
        return r;
    }
    void TearDown() override {
        const std::string log = user_.root() + "/diagnostic.log";
        if (HasFailure() && fs::exists(log)) {
            std::cerr << "diagnostic log:\n" << std::ifstream(log).rdbuf();
        }
    }
    bool loaded(const std::string& group) { return acedIsMenuGroupLoaded(group.c_str()); }
    bool execute(qm::ModuleRecord& r, qm::ModuleEvent e) {
        r.SetEvent(e);
        EXPECT_EQ(r.GetPendingEvent(), e) << "event refused";
        const bool ok = qm::ExecuteEvent(r, context_.menus());
        EXPECT_EQ(r.GetPendingEvent(), qm::kEventNone) << "cleared whatever the outcome";
        return ok;
    }
    qmtest::Descendants started_;  // the programs that events start
    qmtest::TempDir installDir_;
    qmtest::RelocatedUser user_;
    qmtest::TestInstallation install_;
    std::ostringstream out_;
    cadhost::Host host_{cadhost::HostOptions{&out_, {}}};
    qm::LoaderContext context_{
        std::make_unique<qm::DiagnosticLog>(user_.root() + "/diagnostic.log")};
};

TEST_F(ModuleEventsTest, LoadModuleStartsLoadsMenusAndRunsApplications) {
    const std::string marker = installDir_ / "ran";
    auto r = makeRecord("QM_ROADS", "KRQM_ROADS",
                        {{qmtest::touchProgram(), quoted(marker), "", "", false}});
    EXPECT_TRUE(execute(r, qm::kEventLoadModule));
    EXPECT_EQ(r.GetMenusLoaded(), 1);
    EXPECT_EQ(r.GetStarted(), 1);
    EXPECT_TRUE(loaded("KRQM_ROADS"));
    ASSERT_TRUE(started_.waitForAll());
    EXPECT_TRUE(fs::exists(marker));
}

TEST_F(ModuleEventsTest, LoadModuleWhoseMenusFailStaysStartedAndRunsNothing) {
    const std::string marker = installDir_ / "ran";
    auto r = makeRecord("QM_BROKEN", "KRQM_BROKEN",
                        {{qmtest::touchProgram(), quoted(marker), "", "", false}},
                        /*brokenMenu=*/true);
    EXPECT_FALSE(execute(r, qm::kEventLoadModule));
    EXPECT_EQ(r.GetMenusLoaded(), 0);
    EXPECT_EQ(r.GetStarted(), 1);
    // Whatever was started has ended: a program run wrongly would have left the marker.
    ASSERT_TRUE(started_.waitForAll());
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(ModuleEventsTest, FirstFailingApplicationStopsTheRestButMenusStay) {
    const std::string marker = installDir_ / "second";
    // Applications run in path order, so the missing one sits beside the touch program with a
    // name that sorts before it, wherever the build folder is.
    const std::string missing = qmtest::binDir() + "/0-missing-program";
    ASSERT_FALSE(fs::exists(missing));
    auto r = makeRecord(
        "QM_ROADS", "KRQM_ROADS",
        {{missing, "", "", "", false}, {qmtest::touchProgram(), quoted(marker), "", "", false}});
    EXPECT_FALSE(execute(r, qm::kEventLoadModule));
    EXPECT_EQ(r.GetMenusLoaded(), 1);
    ASSERT_TRUE(started_.waitForAll());
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(ModuleEventsTest, UnloadModuleKeepsArxApplicationsAndTheBaseModuleStarted) {
    const std::string arx = qmtest::binDir() + "/qmtest_runtime_arx.arx";
    auto base = makeRecord("QM_BASE", "KRQM_BASE", {{arx, "", "arx", "", false}});
    ASSERT_TRUE(execute(base, qm::kEventLoadModule));
    EXPECT_TRUE(execute(base, qm::kEventUnloadModule));
    EXPECT_EQ(base.GetMenusLoaded(), 0);
    EXPECT_EQ(base.GetStarted(), 1) << "the base module is never stopped";
    EXPECT_FALSE(loaded("KRQM_BASE"));
    // Unloading the base menu brings the loader's own menu back.
    EXPECT_TRUE(loaded("KRQM_MODULELOADER"));
    bool arxLoaded = false;
    for (const auto& app : host_.applications()) {
        arxLoaded |= app.fileName == "qmtest_runtime_arx.arx";
    }
    EXPECT_TRUE(arxLoaded);

    auto roads = makeRecord("QM_ROADS", "KRQM_ROADS");
    ASSERT_TRUE(execute(roads, qm::kEventLoadModule));
    EXPECT_TRUE(execute(roads, qm::kEventUnloadModule));
    EXPECT_EQ(roads.GetStarted(), 0);
}

TEST_F(ModuleEventsTest, MenuOnlyEventsLeaveTheStartedStateAlone) {
    auto stopped = makeRecord("QM_RAIL", "KRQM_RAIL");
    ASSERT_TRUE(execute(stopped, qm::kEventLoadMenu));
    EXPECT_EQ(stopped.GetMenusLoaded(), 1);
    EXPECT_EQ(stopped.GetStarted(), 0) << "loading the menu does not start the module";

    auto r = makeRecord("QM_ROADS", "KRQM_ROADS");
    ASSERT_TRUE(execute(r, qm::kEventLoadModule));
    EXPECT_TRUE(execute(r, qm::kEventUnloadMenu));
    EXPECT_EQ(r.GetMenusLoaded(), 0);
    EXPECT_EQ(r.GetStarted(), 1);
    EXPECT_TRUE(execute(r, qm::kEventLoadMenu));
    EXPECT_EQ(r.GetMenusLoaded(), 1);
    EXPECT_TRUE(loaded("KRQM_ROADS"));
}

TEST_F(ModuleEventsTest, UnloadThatTheHostRefusesChangesNothing) {
    auto r = makeRecord("QM_ROADS", "KRQM_ROADS");
    ASSERT_TRUE(execute(r, qm::kEventLoadModule));
    // The host refuses to unload a group whose menu says so.
    std::ofstream(QmEnGetUserDataPath() + "/Menus/" + r.GetMenus()[0].name + ".mnu", std::ios::app)
        << "***NOUNLOAD\n";
    ASSERT_TRUE(host_.runCommand({"MENUUNLOAD", "KRQM_ROADS"}));
    ASSERT_TRUE(host_.runCommand(
        {"MENULOAD", QmEnGetUserDataPath() + "/Menus/" + r.GetMenus()[0].name + ".mnu"}));
    EXPECT_FALSE(execute(r, qm::kEventUnloadModule));
    EXPECT_EQ(r.GetMenusLoaded(), 1);
    EXPECT_EQ(r.GetStarted(), 1);
}

TEST_F(ModuleEventsTest, UnknownEventDoesNothingAndSucceeds) {
    auto r = makeRecord("QM_ROADS", "KRQM_ROADS");
    r.SetEvent(static_cast<qm::ModuleEvent>(7));
    EXPECT_TRUE(qm::ExecuteEvent(r, context_.menus()));
    EXPECT_EQ(r.GetPendingEvent(), qm::kEventNone);
    EXPECT_EQ(r.GetMenusLoaded(), 0);
    EXPECT_FALSE(loaded("KRQM_ROADS"));
}

}  // namespace
