#include "app/startup_sequence.h"

#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>
#include <qmreg/registry.h>
#if !defined(_WIN32)
#include <sqlite3.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "app/crash_guard.h"
#include "catalogue/com_error.h"
#include "catalogue/registry_batch.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "module_records.h"
#include "qmtest/child_process.h"
#if !defined(_WIN32)
#include "qmtest/file_size_limit.h"
#endif
#include <qmsys/text.h>
#include "qmtest/files.h"
#include "qmtest/module_settings.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"
#include "qmtest/text.h"
#include "qmtest/wait.h"
#include "runtime/loader_context.h"
#include "runtime/module_events.h"
#include "test_installation.h"

namespace {

using qmtest::TestModule;

const TestModule kBase{"QM_BASE", "Base", "KRQM_BASE", {}};
const TestModule kRoads{"QM_ROADS", "Roads", "KRQM_ROADS", {}};
const TestModule kTerrain{"QM_TERRAIN", "Terrain", "KRQM_TERRAIN", {}};

class StartupSequenceTest : public ::testing::Test {
protected:
    StartupSequenceTest() : user_(installDir_.path()), install_(installDir_.path()) {}

    void SetUp() override { startHost(); }

    // A fresh host process, as at the next start of the host: remembered menus come back.
    void startHost() {
        context_.reset();
        host_.reset();
        out_.str("");
        host_ = std::make_unique<cadhost::Host>(cadhost::HostOptions{&out_, {}});
        host_->restoreMenuGroups();
    }

    void TearDown() override {
        if (HasFailure() && std::filesystem::exists(logFile())) {
            std::cerr << "diagnostic log:\n" << qmtest::readFile(logFile());
        }
    }
    std::string logFile() const { return user_.root() + "/diagnostic.log"; }

    void runStartup(
        std::chrono::milliseconds protectorWait = qm::MenuGroupAutomation::kDefaultTimeout) {
        context_ = std::make_unique<qm::LoaderContext>(
            std::make_unique<qm::DiagnosticLog>(logFile()), protectorWait);
        qm::RunStartupSequence(*context_);
    }

    void restart() {
        startHost();
        runStartup();
    }

    std::vector<std::string> groups() const {
        std::vector<std::string> names;
        for (const auto& g : host_->menuGroups()) {
            names.push_back(g.name);
        }
        return names;
    }
    bool hasGroup(const std::string& name) const {
        const auto g = groups();
        return std::find(g.begin(), g.end(), name) != g.end();
    }

    static void setUserString(const std::string& key, const std::string& name,
                              const std::string& value) {
        QmEnWinRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, key, true));
        reg.WriteString(name, value);
    }
    static void setSettings(const TestModule& m, const char* activated, const char* autoStart,
                            const char* demandLoad) {
        qmtest::storeModuleSettings(
            m.key,
            {{"Activated", activated}, {"AutoStart", autoStart}, {"DemandLoad", demandLoad}});
    }
    // Loads a module's menu into the host the way an earlier session would have left it.
    void leaveGroupFromEarlierSession(const TestModule& m) {
        const std::string copy =
            QmEnGetUserDataPath() + "/Menus/" + qmtest::TestInstallation::menuName(m) + ".mnu";
        qmtest::writeFile(copy, "***MENUGROUP=" + m.group + "\n");
        ASSERT_TRUE(host_->runCommand({"MENULOAD", copy}));
    }
    qm::ModuleRecord& record(const std::string& key) const {
        return qmtest::recordOf(*context_, key);
    }

    qmtest::TempDir installDir_;
    qmtest::RelocatedUser user_;
    qmtest::TestInstallation install_;
    std::ostringstream out_;
    std::unique_ptr<cadhost::Host> host_;
    std::unique_ptr<qm::LoaderContext> context_;
};

TEST_F(StartupSequenceTest, FirstStartSweepsProductGroupsAndASecondStartKeepsThem) {
    install_.addModule(kRoads);
    leaveGroupFromEarlierSession(kTerrain);  // a product group no module of this start owns
    ASSERT_TRUE(
        host_->runCommand({"MENULOAD", installDir_.path() + "/Base/Menus/KRQM_Base_Menu_enu.mnu"}));
    runStartup();
    EXPECT_FALSE(hasGroup("KRQM_TERRAIN"));
    EXPECT_TRUE(hasGroup("KRQM_MODULELOADER"));  // swept, then provided again

    // Same configuration: the loader's own menu, restored by the host, is left alone.
    restart();
    EXPECT_TRUE(hasGroup("KRQM_MODULELOADER"));
    const auto loaded = groups();
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), std::string("KRQM_MODULELOADER")), 1);
}

TEST_F(StartupSequenceTest, ConfigurationDifferingOnlyInCaseCountsAsAChange) {
    install_.addModule(kRoads);
    runStartup();
    leaveGroupFromEarlierSession(kTerrain);
    setUserString(qm::registry_layout::recentConfigKey(), "Current Config", "DEFAULT");
    restart();
    EXPECT_FALSE(hasGroup("KRQM_TERRAIN"));
}

TEST_F(StartupSequenceTest, AutoStartModulesComeUpAndStaleGroupsGo) {
    install_.addModule(kBase);
    install_.addModule(kRoads);
    install_.addModule(kTerrain);
    runStartup();  // records the configuration, so the next start does not sweep
    setSettings(kRoads, "True", "True", "False");
    leaveGroupFromEarlierSession(kTerrain);
    restart();

    EXPECT_TRUE(hasGroup("KRQM_ROADS"));
    EXPECT_TRUE(hasGroup("KRQM_BASE"));
    EXPECT_FALSE(hasGroup("KRQM_TERRAIN")) << "stale group of a module not brought up";
    EXPECT_EQ(record("QM_ROADS").GetStarted(), 1);
    EXPECT_EQ(record("QM_ROADS").GetMenusLoaded(), 1);
    EXPECT_EQ(record("QM_TERRAIN").GetMenusLoaded(), 0);
    // The base module's menu carries the loader's entries.
    EXPECT_FALSE(hasGroup("KRQM_MODULELOADER"));
}

// Another process holds the menu protector for the whole start: each guarded step waits once
// and gives up (the base module's lookup and load, then one lookup of the stale menus), and
// no list or sweep adds a wait of its own.
TEST_F(StartupSequenceTest, ProtectorHeldElsewhereCostsOneWaitPerGuardedStep) {
    install_.addModule(kBase);
    runStartup();  // records the configuration: no product sweep at the next start
    startHost();
    qmtest::ProcessOptions options;
    options.extraEnv = user_.environment();
    qmtest::BackgroundProcess holder(
        {qmtest::binDir() + "/qm_lock_holder", "mutex", "MenuLoaderProtector", "10000"}, options);
    ASSERT_TRUE(holder.waitForOutput("held", std::chrono::seconds(10))) << holder.output();
    const std::size_t before = qmtest::occurrences(qmtest::readFile(logFile()), "not acquired");
    runStartup(std::chrono::milliseconds(100));
    EXPECT_EQ(qmtest::occurrences(qmtest::readFile(logFile()), "not acquired") - before, 3u);
    EXPECT_EQ(record("QM_BASE").GetMenusLoaded(), 0);
}

// Only a non-zero value in the machine hive holds the modules back, the base module too: their
// menus load, nothing starts. The same value under the current user is not looked at.
TEST_F(StartupSequenceTest, OverrideComesFromTheMachineHiveOnly) {
    install_.addModule(kBase);
    install_.addModule(kRoads);
    setSettings(kRoads, "True", "True", "False");
    const struct {
        std::int32_t machine;
        std::int32_t user;
        bool overridden;
    } cases[] = {{0, 1, false}, {0, 0, false}, {1, 0, true}, {-1, 0, true}};
    for (const auto& c : cases) {
        for (const auto& [hive, value] : {std::pair{kQmEnHKeyLocalMachine, c.machine},
                                          std::pair{kQmEnHKeyCurrentUser, c.user}}) {
            QmEnWinRegistry reg;
            ASSERT_TRUE(reg.OpenKey(hive, qm::registry_layout::moduleLoaderKey(), true));
            reg.WriteLong("ModulesAutostartDisable", value);
        }
        restart();
        SCOPED_TRACE(testing::Message() << "machine " << c.machine << ", user " << c.user);
        EXPECT_EQ(context_->autostartOverride(), c.overridden);
        for (const char* key : {"QM_ROADS", "QM_BASE"}) {
            EXPECT_EQ(record(key).GetStarted(), c.overridden ? 0 : 1) << key;
            EXPECT_EQ(record(key).GetMenusLoaded(), 1) << key;
        }
    }
}

// The extra menu goes at every start, with or without modules, while other groups of an
// earlier session that no module of this installation owns stay (no configuration change).
TEST_F(StartupSequenceTest, ExtraMenuLeftFromAnEarlierSessionGoesAtEveryStart) {
    const TestModule qco{"QM_QCO", "Extra", "KRQM_QCO", {}};
    runStartup();  // records the configuration, so the next starts do not sweep
    for (bool withModules : {false, true}) {
        SCOPED_TRACE(withModules ? "with modules" : "empty catalogue");
        if (withModules) {
            install_.addModule(kRoads);
        }
        startHost();
        leaveGroupFromEarlierSession(qco);
        leaveGroupFromEarlierSession(kTerrain);
        runStartup();
        EXPECT_FALSE(hasGroup("KRQM_QCO"));
        EXPECT_TRUE(hasGroup("KRQM_TERRAIN"));
    }
}

// An application started with the host may change the host's menu groups while the sequence
// runs; later steps see those changes. Here Roads' application loads the menu of Terrain, a
// module that is not brought up, and the loader's own menu, which the base module replaces.
TEST_F(StartupSequenceTest, MenuGroupsChangedByAnApplicationDuringStartUpAreSeen) {
    const std::string terrainMenu = installDir_.path() + "/Modules/QM_TERRAIN/Menus/" +
                                    qmtest::TestInstallation::menuName(kTerrain) + ".mnu";
    const std::string arxLog = installDir_.path() + "/arx.log";
    install_.addModule(kBase);
    install_.addModule(kTerrain);
    install_.addModule({"QM_ROADS",
                        "Roads",
                        "KRQM_ROADS",
                        {"<Application path=\"" + qmtest::binDir() +
                         "/qmtest_runtime_arx.arx\" arguments=\"\" type=\"arx\" command=\"\" "
                         "modal=\"False\"/>"}});
    setSettings(kRoads, "True", "True", "False");
    runStartup();  // records the configuration, so the next start does not sweep
    for (const std::string& menu :
         {terrainMenu, installDir_.path() + "/Base/Menus/KRQM_Base_Menu_enu.mnu"}) {
        SCOPED_TRACE(menu);
        qmtest::ScopedEnv log("QMTEST_ARX_LOG", arxLog);
        qmtest::ScopedEnv load("QMTEST_ARX_MENULOAD", menu);
        restart();
        ASSERT_NE(qmtest::readFile(arxLog).find("init"), std::string::npos);
        EXPECT_EQ(qmtest::readFile(arxLog).find("failed"), std::string::npos);
        EXPECT_TRUE(hasGroup("KRQM_ROADS"));
        EXPECT_TRUE(hasGroup("KRQM_BASE"));
        EXPECT_FALSE(hasGroup("KRQM_TERRAIN")) << "stale: its module was not brought up";
        EXPECT_FALSE(hasGroup("KRQM_MODULELOADER")) << "the base module's menu replaces it";
        std::filesystem::remove(arxLog);
    }
}

TEST_F(StartupSequenceTest, DemandLoadAndInactiveModules) {
    install_.addModule(kBase);
    install_.addModule(kRoads);
    install_.addModule(kTerrain);
    setSettings(kBase, "False", "False", "True");     // the base module's settings are forced
    setSettings(kRoads, "True", "True", "True");      // demand-loaded: menus, not started
    setSettings(kTerrain, "False", "True", "False");  // not activated: untouched
    runStartup();
    // Forced in the store too, so that the dialogs and the next start see them.
    EXPECT_EQ(qmtest::storedModuleSetting(kBase.key, "Activated"), "True");
    EXPECT_EQ(qmtest::storedModuleSetting(kBase.key, "AutoStart"), "True");
    EXPECT_EQ(qmtest::storedModuleSetting(kBase.key, "DemandLoad"), "False");
    EXPECT_EQ(record(kBase.key).GetStarted(), 1);
    EXPECT_EQ(record("QM_ROADS").GetMenusLoaded(), 1);
    EXPECT_EQ(record("QM_ROADS").GetStarted(), 0);
    EXPECT_EQ(record("QM_TERRAIN").GetMenusLoaded(), 0);
    EXPECT_FALSE(record("QM_TERRAIN").GetAutoStart());
    EXPECT_FALSE(hasGroup("KRQM_TERRAIN"));
}

TEST_F(StartupSequenceTest, BaseKeyInOtherCaseIsNotTheBaseModule) {
    TestModule lowerBase = kBase;
    lowerBase.key = "qm_base";
    install_.addModule(lowerBase);
    setSettings(lowerBase, "True", "True", "False");
    runStartup();
    EXPECT_TRUE(hasGroup("KRQM_BASE"));
    EXPECT_TRUE(hasGroup("KRQM_MODULELOADER"));
}

TEST_F(StartupSequenceTest, FailingMenusStillRunTheApplications) {
    const std::string marker = installDir_.path() + "/ran";
    TestModule broken{"QM_BROKEN",
                      "Broken",
                      "KRQM_BROKEN",
                      {"<Application path=\"" + qmtest::touchProgram() + "\" arguments=\"&quot;" +
                       marker + "&quot;\" type=\"\" command=\"\" modal=\"False\"/>"}};
    broken.brokenMenu = true;
    install_.addModule(broken);
    setSettings(broken, "True", "True", "False");
    runStartup();
    EXPECT_EQ(record("QM_BROKEN").GetMenusLoaded(), 0);
    EXPECT_TRUE(qmtest::waitForFile(marker));
    EXPECT_EQ(out_.str().find("[Quillmont]"), std::string::npos) << "nothing is reported";
}

#if !defined(_WIN32)  // failures of the SQLite store; Windows has the real registry
TEST_F(StartupSequenceTest, StoreThatCanOnlyBeReadBringsModulesUpAndSaysOnceThatNothingIsSaved) {
    install_.addModule(kBase);
    install_.addModule(kRoads);
    runStartup();  // the user's store as earlier sessions leave it
    setSettings(kRoads, "True", "True", "False");
    // The same store in a place no connection of this process has open: moved there by the
    // registry tool.
    const std::string qmreg = qmtest::binDir() + "/qmreg";
    const std::string saved = user_.root() + "/saved.reg";
    ASSERT_EQ(qmtest::runProcess({qmreg, "export", "HKCU\\SOFTWARE", saved}).exitCode, 0);
    qmtest::ScopedEnv registry("QM_REGISTRY_DIR", user_.root() + "/registry-on-full-disk");
    ASSERT_EQ(qmtest::runProcess({qmreg, "import", saved}).exitCode, 0);
    ASSERT_EQ(qmtest::runProcess({qmreg, "add", "HKLM\\SOFTWARE"}).exitCode, 0);
    startHost();
    {
        const qmtest::FileSizeLimit fullDisk(16 * 1024);
        runStartup();
    }
    EXPECT_TRUE(hasGroup("KRQM_ROADS")) << out_.str();
    EXPECT_EQ(record("QM_ROADS").GetStarted(), 1);
    EXPECT_EQ(qmtest::occurrences(out_.str(), "Module settings cannot be saved"), 1u) << out_.str();
    EXPECT_EQ(qmtest::occurrences(out_.str(), "Serious problems"), 0u) << out_.str();
    EXPECT_EQ(qmtest::occurrences(qmtest::readFile(logFile()), "settings cannot be saved"), 1u);
}
#endif

#if !defined(_WIN32)  // failures of the SQLite store; Windows has the real registry
// Inside the host, the store problems the environment library meets go to the diagnostic log,
// once however often they recur, and never to the host's standard error.
TEST_F(StartupSequenceTest, DamagedStoreIsReportedOnceInTheLogAndNotOnStandardError) {
    install_.addModule(kBase);
    install_.addModule(kRoads);
    qmtest::writeFile(qmreg::hiveFile(qmreg::HiveId::CurrentUser), std::string(4096, 'x'));
    testing::internal::CaptureStderr();
    runStartup();
    const std::string standardError = testing::internal::GetCapturedStderr();
    EXPECT_EQ(standardError.find("damaged"), std::string::npos) << standardError;
    const std::string log = qmtest::readFile(logFile());
    EXPECT_EQ(
        qmtest::occurrences(log, "registry: The registry store \"" +
                                     qmreg::hiveFile(qmreg::HiveId::CurrentUser) + "\" is damaged"),
        1u)
        << log;
    EXPECT_EQ(context_->modules().size(), 2u) << "the start-up goes on";
}
#endif

// Safe mode: no module comes up, and neither do the module menus the host restored from the
// last session (a menu can bring a module's code); the loader's own menu stays. Settings are
// left alone, so the next normal start brings everything back.
TEST_F(StartupSequenceTest, SafeModeDropsRestoredModuleMenusForThisSessionOnly) {
    install_.addModule(kBase);
    install_.addModule(kRoads);
    setSettings(kRoads, "True", "True", "False");
    runStartup();
    ASSERT_TRUE(hasGroup("KRQM_ROADS"));
    ASSERT_TRUE(hasGroup("KRQM_BASE"));
    {
        qmtest::ScopedEnv safe("QM_SAFE_MODE", "1");
        restart();
        EXPECT_FALSE(hasGroup("KRQM_ROADS"));
        EXPECT_FALSE(hasGroup("KRQM_BASE"));
        EXPECT_TRUE(hasGroup("KRQM_MODULELOADER"));
        EXPECT_EQ(record("QM_ROADS").GetStarted(), 0);
        EXPECT_NE(out_.str().find("[Quillmont] Safe mode"), std::string::npos);
    }
    QmEnWinRegistry reg;
    std::string autoStart;
    ASSERT_TRUE(
        reg.OpenKey(kQmEnHKeyCurrentUser, qm::registry_layout::moduleKey(kRoads.key), false));
    EXPECT_TRUE(reg.ReadString("AutoStart", autoStart));
    EXPECT_EQ(autoStart, "True");

    restart();
    EXPECT_TRUE(hasGroup("KRQM_ROADS"));
    EXPECT_TRUE(hasGroup("KRQM_BASE"));
    EXPECT_FALSE(hasGroup("KRQM_MODULELOADER"));
}

#if !defined(_WIN32)  // failures of the SQLite store; Windows has the real registry
// Another program holds the store's write lock for the whole start: the first write waits
// out the busy time-out, and the rest of the start writes nothing more but still brings the
// modules up from what it reads.
TEST_F(StartupSequenceTest, StoreHeldByAnotherProgramCostsOneTimeOutAndNoMoreWrites) {
    qmtest::ScopedEnv shortWait("QM_REGISTRY_BUSY_MS", "50");
    install_.addModule(kBase);
    install_.addModule(kRoads);
    setSettings(kRoads, "True", "True", "False");
    runStartup();
    install_.addModule(kTerrain);  // a new module, whose key a start would create

    // The other program: a connection of its own that has begun a write.
    sqlite3* locker = nullptr;
    ASSERT_EQ(sqlite3_open_v2((user_.registryDir() + "/hkcu.db").c_str(), &locker,
                              SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    // The start's reads, on a connection of their own, begin under the lock: they ask for no
    // write lock, so they neither wait for it nor make the other program wait.
    std::thread([] {
        qm::RegistryBatch reads(qm::RegistryBatch::Kind::Reads, nullptr, "reads");
        EXPECT_TRUE(reads.active());
        EXPECT_FALSE(reads.busy());
    }).join();
    restart();
    sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(locker);

    const std::string log = qmtest::readFile(logFile());
    EXPECT_EQ(qmtest::occurrences(log, "stayed locked"), 1u) << log;
    EXPECT_NE(log.find("writes no more settings"), std::string::npos) << log;
    EXPECT_TRUE(hasGroup("KRQM_ROADS"));
    EXPECT_EQ(record("QM_ROADS").GetStarted(), 1);
    QmEnWinRegistry reg;
    EXPECT_FALSE(
        reg.OpenKey(kQmEnHKeyCurrentUser, qm::registry_layout::moduleKey(kTerrain.key), false))
        << "nothing written after the time-out";
}
#endif

// A marker left by a start that died while bringing a module up: that module sits this start
// out, with one message naming it, and is back at the start after.
TEST_F(StartupSequenceTest, ModuleThatTookTheHostDownSitsOneStartOut) {
    install_.addModule(kRoads);
    install_.addModule(kTerrain);
    setSettings(kRoads, "True", "True", "False");
    setSettings(kTerrain, "True", "True", "False");
    const std::string guardFolder = qm::CrashGuard::defaultFolder();
    // A host that dies while Roads's applications start.
    ASSERT_EQ(qmtest::runProcess(
                  {qmtest::binDir() + "/qm_guard_child", guardFolder, "begin", "QM_ROADS", "Roads"})
                  .exitCode,
              0);
    runStartup();
    EXPECT_FALSE(hasGroup("KRQM_ROADS"));
    EXPECT_TRUE(hasGroup("KRQM_TERRAIN"));
    const std::string shown = out_.str();
    const std::string message = "[Quillmont] The module \"Roads\" was not started";
    EXPECT_NE(shown.find(message), std::string::npos) << shown;
    EXPECT_EQ(shown.find(message), shown.rfind("[Quillmont]")) << "one message";
    EXPECT_NE(qmtest::readFile(logFile()).find("module QM_ROADS not brought up"),
              std::string::npos);
    EXPECT_FALSE(qm::CrashGuard(guardFolder).takeInterrupted()) << "a clean start names nobody";
    // Loading it in the dialog brings it up at once.
    qm::ModuleRecord& roads = record("QM_ROADS");
    roads.SetEvent(qm::kEventLoadModule);
    EXPECT_TRUE(qm::ExecuteEvent(roads, context_->menus()));
    EXPECT_TRUE(hasGroup("KRQM_ROADS"));

    restart();
    EXPECT_TRUE(hasGroup("KRQM_ROADS"));
    EXPECT_EQ(record("QM_ROADS").GetStarted(), 1);
    EXPECT_EQ(out_.str().find("[Quillmont]"), std::string::npos) << out_.str();
}

TEST_F(StartupSequenceTest, OnlyTheValueOneAsksForSafeMode) {
    install_.addModule(kRoads);
    setSettings(kRoads, "True", "True", "False");
    for (const char* value : {"0", "", "yes", "11"}) {
        qmtest::ScopedEnv safe("QM_SAFE_MODE", value);
        restart();
        EXPECT_TRUE(hasGroup("KRQM_ROADS")) << value;
        EXPECT_EQ(out_.str().find("Safe mode"), std::string::npos) << value;
    }
}

// One line per module brought up, saying whether it was started and what failed; a module not
// brought up has none.
TEST_F(StartupSequenceTest, ProfileHasOneLinePerModuleBroughtUp) {
    const std::string missingApp = "<Application path=\"" + installDir_.path() +
                                   "/absent.arx\" arguments=\"\" type=\"arx\" command=\"\" "
                                   "modal=\"False\"/>";
    const struct {
        TestModule module;
        const char* demandLoad;
        const char* outcome;
    } cases[] = {
        {{"QM_A", "Roads", "KRQM_A", {}}, "False", "started, ok"},
        {{"QM_B", "On demand", "KRQM_B", {}}, "True", "not started, ok"},
        {{"QM_C", "Bad menu", "KRQM_C", {}, "default", true}, "False", "started, menus failed"},
        {{"QM_D", "Bad application", "KRQM_D", {missingApp}},
         "False",
         "started, applications failed"},
        {{"QM_E", "Both bad", "KRQM_E", {missingApp}, "default", true},
         "False",
         "started, menus and applications failed"},
    };
    for (const auto& c : cases) {
        install_.addModule(c.module);
        setSettings(c.module, "True", "True", c.demandLoad);
    }
    install_.addModule(kTerrain);
    runStartup();
    const std::string profile = context_->startupProfile();
    for (const auto& c : cases) {
        const std::size_t at = profile.find(c.module.name + " (" + c.module.key + ")  menus ");
        ASSERT_NE(at, std::string::npos) << c.module.key << "\n" << profile;
        const std::string line = profile.substr(at, profile.find('\n', at) - at);
        const std::string ending = std::string(" ms  ") + c.outcome;
        EXPECT_TRUE(line.size() > ending.size() &&
                    line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
            << line;
    }
    EXPECT_EQ(profile.find("QM_TERRAIN"), std::string::npos) << profile;
    EXPECT_NE(profile.find("Total: 5 module(s)"), std::string::npos) << profile;
}

// A module's application that unloads another module's group while the modules come up: the
// loader must see the host's groups as they are now, not as they were when it first looked.
TEST_F(StartupSequenceTest, GroupUnloadedByAnApplicationDuringStartUpIsLoadedAgain) {
    const std::string arxLog = installDir_.path() + "/arx.log";
    qmtest::ScopedEnv log("QMTEST_ARX_LOG", arxLog);
    qmtest::ScopedEnv unload("QMTEST_ARX_UNLOAD_GROUP", "KRQM_SURVEY");
    const TestModule roads{"QM_ROADS",
                           "Roads",
                           "KRQM_ROADS",
                           {"<Application path=\"" + qmtest::binDir() +
                            "/qmtest_runtime_arx.arx\" arguments=\"\" type=\"arx\" command=\"\" "
                            "modal=\"False\"/>"}};
    const TestModule survey{"QM_SURVEY", "Survey", "KRQM_SURVEY", {}};
    install_.addModule(roads);
    install_.addModule(survey);
    setSettings(roads, "True", "True", "False");
    setSettings(survey, "True", "True", "False");
    runStartup();
    ASSERT_TRUE(hasGroup("KRQM_SURVEY"));

    // The host restores both groups; Roads comes up first (name order) and takes Survey's away.
    restart();
    EXPECT_NE(qmtest::readFile(arxLog).find("unloaded"), std::string::npos)
        << "the application did not unload the group";
    EXPECT_TRUE(hasGroup("KRQM_SURVEY"));
    EXPECT_TRUE(hasGroup("KRQM_ROADS"));
    EXPECT_EQ(record("QM_SURVEY").GetMenusLoaded(), 1);
}

// The empty-catalogue message: one separator before "Zadod" even when the installation path
// ends in one, and a leading pair of separators kept.
class EmptyCatalogueTest : public ::testing::TestWithParam<bool> {};

TEST_P(EmptyCatalogueTest, OneMessageThenTheLoaderMenu) {
#if defined(_WIN32)
    if (GetParam()) {
        GTEST_SKIP() << "a path with a leading pair names a share on Windows";
    }
#endif
    qmtest::TempDir dir;
    const std::string appPath = GetParam() ? "/" + dir.path() + "/" : dir.path() + "/";
    qmtest::RelocatedUser user(appPath);
    qmtest::TestInstallation install(dir.path());
    std::ostringstream out;
    cadhost::Host host(cadhost::HostOptions{&out, {}});
    qm::LoaderContext context(std::make_unique<qm::DiagnosticLog>());
    qm::RunStartupSequence(context);

#if defined(_WIN32)
    const std::string shown = dir.path() + "/Zadod/Modules";  // "C:/..."
#else
    const std::string shown = (GetParam() ? "//" : "/") + dir.path().substr(1) + "/Zadod/Modules";
#endif
    const std::string text = out.str();
    EXPECT_NE(text.find("[Quillmont] Unable to read module loader configuration files from \"" +
                        shown + "\"."),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("[Quillmont]"), text.rfind("[Quillmont]")) << "exactly one message";
    EXPECT_TRUE(context.modules().empty());
    EXPECT_TRUE(acedIsMenuGroupLoaded("KRQM_MODULELOADER"));
}

INSTANTIATE_TEST_SUITE_P(LeadingPair, EmptyCatalogueTest, ::testing::Bool());

// A definition rejected with a COM error leaves the catalogue empty; the error's text follows
// the message after an empty line.
TEST(EmptyCatalogueMessageTest, EndsWithTheFirstComError) {
    qmtest::TempDir dir;
    qmtest::RelocatedUser user(dir.path());
    qmtest::TestInstallation install(dir.path());
    // An application without its "modal" attribute: read as a type mismatch.
    qmtest::writeFile(dir.path() + "/Zadod/Modules/QM_BAD.default.xml",
                      qmtest::readFile(qmtest::sourceDir() +
                                       "/tests/loader/catalogue/data/bad/missing_attribute.xml"));
    std::ostringstream out;
    cadhost::Host host(cadhost::HostOptions{&out, {}});
    qm::LoaderContext context(std::make_unique<qm::DiagnosticLog>());
    qm::RunStartupSequence(context);
    EXPECT_NE(out.str().find("/Zadod/Modules\".\n\n" + qm::ComErrorText(qm::kComErrorTypeMismatch)),
              std::string::npos)
        << out.str();
    EXPECT_TRUE(context.modules().empty());
}

// Windows finds a path written in another letter case than its entries, and so do the
// stand-ins: on every route a start-up takes to a file. Each row renames part of the
// installation (or of the user's copies) to another letter case, before the first start or
// between two starts, with and without the catalogue snapshot; both starts must bring Roads'
// menu and the loader's own menu up once each, from one user copy of the menu. The update rows
// rename the installed menu file to another case and change it: the user's copy under the old
// spelling is found, refreshed and loaded, with no second copy beside it.
struct LetterCaseRoute {
    const char* name;
    // Renames done before the first start, and between the starts (after the host restored
    // its menus): each {from, to} relative to the installation, or to the user's data folder
    // when it begins with '~'.
    std::vector<std::pair<std::string, std::string>> before;
    std::vector<std::pair<std::string, std::string>> between;
    bool unloadBetween = false;  // the host's Roads group is unloaded before the second start
    bool updateBetween = false;  // the renamed installed menu gets new content
};

const LetterCaseRoute kLetterCaseRoutes[] = {
    {"DefinitionsFolder", {{"Zadod/Modules", "zADOD/modules"}}, {}},
    {"Schema", {{"Zadod/Modules/QM_Module.xsd", "Zadod/Modules/qm_MODULE.XSD"}}, {}},
    {"CheckerConfiguration", {{"Base/Config/Launchrig.ini", "Base/CONFIG/LAUNCHRIG.INI"}}, {}},
    {"ModuleMenusFolder", {{"Modules/QM_ROADS/Menus", "modules/qm_roads/MENUS"}}, {}},
    {"MenuFileOpenedByTheHost",
     {{"Modules/QM_ROADS/Menus/KRQM_ROADS_enu.mnu", "Modules/QM_ROADS/Menus/Krqm_Roads_ENU.mnu"}},
     {}},
    {"UsersMenusFolder", {}, {{"~/Menus", "~/mENUS"}}, true},
    {"UpdateRenamesTheLoadedMenu",
     {},
     {{"Modules/QM_ROADS/Menus/KRQM_ROADS_enu.mnu", "Modules/QM_ROADS/Menus/krqm_roads_ENU.mnu"}},
     false,
     true},
    {"UpdateRenamesTheUnloadedMenu",
     {},
     {{"Modules/QM_ROADS/Menus/KRQM_ROADS_enu.mnu", "Modules/QM_ROADS/Menus/krqm_roads_ENU.mnu"}},
     true,
     true},
};

void PrintTo(const LetterCaseRoute& route, std::ostream* os) {
    *os << route.name;
}

class LetterCaseRouteTest
    : public StartupSequenceTest,
      public ::testing::WithParamInterface<std::tuple<LetterCaseRoute, bool>> {
protected:
    LetterCaseRouteTest()
        : noSnapshot_("QM_NO_SNAPSHOT",
                      std::get<1>(GetParam()) ? std::nullopt : std::optional<std::string>("1")) {}

    // Renames from to to one component at a time (both name the same number of components).
    void rename(const std::pair<std::string, std::string>& names) {
        const bool user = names.first.starts_with('~');
        const std::filesystem::path base = user ? std::filesystem::path(QmEnGetUserDataPath())
                                                : std::filesystem::path(installDir_.path());
        const std::filesystem::path from(user ? names.first.substr(2) : names.first);
        const std::filesystem::path to(user ? names.second.substr(2) : names.second);
        std::filesystem::path done = base;
        for (auto f = from.begin(), t = to.begin(); f != from.end() && t != to.end(); ++f, ++t) {
            std::filesystem::rename(done / *f, done / *t);
            done /= *t;
        }
    }

    // Roads' menu and the loader's are loaded once each, Roads' from its only copy, titled
    // title.
    void expectMenusUp(const std::string& title) {
        const auto loaded = groups();
        EXPECT_EQ(std::count(loaded.begin(), loaded.end(), std::string("KRQM_ROADS")), 1);
        EXPECT_EQ(std::count(loaded.begin(), loaded.end(), std::string("KRQM_MODULELOADER")), 1);
        for (const auto& g : host_->menuGroups()) {
            if (g.name == "KRQM_ROADS") {
                ASSERT_FALSE(g.definition.popMenus.empty());
                EXPECT_EQ(g.definition.popMenus.front().title, title);
            }
        }
        int copies = 0;
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(QmEnGetUserDataPath(), ec)) {
            copies += qmsys::compareFileNames(entry.path().filename().string(),
                                              "KRQM_ROADS_enu.mnu") == 0;
        }
        EXPECT_EQ(copies, 1) << "copies of Roads' menu";
    }

    qmtest::ScopedEnv noSnapshot_;
};

TEST_P(LetterCaseRouteTest, NamesInAnotherLetterCaseAreFound) {
    const LetterCaseRoute& route = std::get<0>(GetParam());
    install_.addModule(kRoads);
    setSettings(kRoads, "True", "True", "False");
    for (const auto& names : route.before) {
        rename(names);
    }
    runStartup();
    {
        SCOPED_TRACE("first start");
        expectMenusUp("Roads");
    }

    startHost();
    for (const auto& names : route.between) {
        rename(names);
    }
    if (route.updateBetween) {
        const std::string menu = installDir_.path() + "/" + route.between.back().second;
        qmtest::writeFile(
            menu, "***MENUGROUP=KRQM_ROADS\n***POP1\n**KRQM_ROADS\n[Roads 2]^C^CQM_ROADS\n");
    }
    if (route.unloadBetween) {
        ASSERT_TRUE(host_->runCommand({"MENUUNLOAD", "KRQM_ROADS"}));
    }
    runStartup();
    SCOPED_TRACE("second start");
    expectMenusUp(route.updateBetween ? "Roads 2" : "Roads");
}

INSTANTIATE_TEST_SUITE_P(EveryRoute, LetterCaseRouteTest,
                         ::testing::Combine(::testing::ValuesIn(kLetterCaseRoutes),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<LetterCaseRouteTest::ParamType>& row) {
                             return std::string(std::get<0>(row.param).name) +
                                    (std::get<1>(row.param) ? "WithSnapshot" : "WithoutSnapshot");
                         });

}  // namespace

// One start of the sample installation (5 modules, 4 brought up) asks the user's store for
// each key at most once, in at most two transactions (the reads, then the writes), and reads
// the kernel-services key once. The store's own connection counts, and the start-up shares it
// with this thread. A brand-new user's first start finds the kernel-services values missing:
// the reads end, the environment library writes the defaults, and the reads begin again.
TEST(StartupRegistryBudgetTest, EachKeyReadOnceInAtMostTwoTransactions) {
    qmtest::RelocatedUser user(qmtest::sampleDir());
    for (const char* key : {"QM_ROADS", "QM_SURVEY", "QM_TERRAIN"}) {
        qmtest::storeModuleSettings(
            key, {{"Activated", "True"}, {"AutoStart", "True"}, {"DemandLoad", "False"}});
    }
    struct Start {
        const char* name;
        unsigned transactions;
        unsigned readsPerKey;
        unsigned kernelServicesReads;
    };
    // As the store names it: an ASCII path, folded to capitals.
    std::string kernelServices(qm::names::kKernelServicesKey);
    std::transform(kernelServices.begin(), kernelServices.end(), kernelServices.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const Start& start : {Start{"first start", 5, 2, 4}, Start{"second start", 2, 1, 1}}) {
        std::ostringstream out;
        cadhost::Host host(cadhost::HostOptions{&out, {}});
        host.restoreMenuGroups();
        qm::LoaderContext context(std::make_unique<qm::DiagnosticLog>(user.root() + "/log"));
        qmreg::Hive& hive = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
        hive.resetStats();
        qm::RunStartupSequence(context);
        const qmreg::Hive::Stats& stats = hive.stats();
        EXPECT_EQ(context.modules().size(), 5u) << start.name;
        EXPECT_NE(context.startupProfile().find("Total: 4 module(s)"), std::string::npos)
            << start.name << "\n"
            << context.startupProfile();
        EXPECT_LE(stats.transactions, start.transactions) << start.name;
        for (const auto& [key, reads] : stats.keyReads) {
            EXPECT_LE(reads, key == kernelServices ? start.kernelServicesReads : start.readsPerKey)
                << start.name << ": " << key;
        }
        EXPECT_EQ(hive.keyReads(qm::names::kKernelServicesKey), start.kernelServicesReads)
            << start.name;
    }
}
