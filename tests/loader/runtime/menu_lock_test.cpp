// The menu lock across threads and processes: a hung holder makes every operation fail after
// its time-out, a killed holder frees the lock, and many processes and threads loading and
// unloading at once all succeed and leave the remembered menu list intact.
#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include <qmtest/child_process.h>
#include <qmtest/files.h>
#include <qmtest/text.h>

#include "menu_runtime_fixture.h"
#include "runtime/menu_manager.h"
#include "runtime/module_list.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class MenuLockTest : public qmtest::MenuRuntimeTest {
protected:
    static constexpr auto kTimeout = 300ms;

    std::unique_ptr<qmtest::BackgroundProcess> startHolder() {
        qmtest::ProcessOptions options;
        options.extraEnv = user_.environment();
        auto holder = std::make_unique<qmtest::BackgroundProcess>(
            std::vector<std::string>{qmtest::binDir() + "/qm_lock_holder", "mutex",
                                     "MenuLoaderProtector", "10000"},
            options);
        EXPECT_TRUE(holder->waitForOutput("held", 10s)) << holder->output();
        return holder;
    }

    // Waits for the protector that timed out, from the diagnostic log.
    std::size_t timedOutWaits() const { return qmtest::occurrences(logText(), "not acquired"); }

    qm::MenuGroupAutomation shortWait_{log_, kTimeout};
};

TEST_F(MenuLockTest, HungHolderMakesEveryOperationFailAfterItsTimeOutWithoutTouchingTheHost) {
    const std::string road = user_.root() + "/m/KRQM_Road_enu.mnu";
    const std::string rail = user_.root() + "/m/KRQM_Rail_enu.mnu";
    writeMenuFile(road, "KRQM_ROAD");
    writeMenuFile(rail, "KRQM_RAIL");
    preload(road);
    auto holder = startHolder();

    std::string group;
    // Each would succeed, or (the sweep) unload KRQM_ROAD, without the hung holder.
    const std::pair<const char*, std::function<bool()>> operations[] = {
        {"find by file", [&] { return shortWait_.FindMenuGroupByFile(road, group); }},
        {"load", [&] { return shortWait_.LoadMenuGroupFile(rail, group); }},
        {"unload by name", [&] { return shortWait_.UnloadMenuGroupByName("KRQM_ROAD"); }},
        {"product sweep",
         [&] {
             shortWait_.UnloadProductMenuGroups();
             return false;
         }},
    };
    for (const auto& [what, run] : operations) {
        const auto start = Clock::now();
        EXPECT_FALSE(run()) << what;
        // It gave up after waiting its time-out (the holder would hold on for 10 s).
        EXPECT_GE(Clock::now() - start, kTimeout) << what;
        EXPECT_EQ(groupNames(), std::vector<std::string>{"KRQM_ROAD"}) << what;
    }
    EXPECT_NE(logText().find("MenuLoaderProtector"), std::string::npos);
}

// Each guarded step takes the protector on its own and gives up alone: a list costs one wait
// per lookup, load and unload, never one more for the list; the stale sweep looks every menu
// up in one step.
TEST_F(MenuLockTest, HungHolderCostsEachGuardedStepOneWaitAndNoListAnother) {
    writeInstalledMenu("Road/Menus/KRQM_Road_enu.mnu", "KRQM_ROAD");
    qm::MenuManager manager(shortWait_, log_);
    qm::MenuList road;
    road.AddMenu("KRQM_Road_enu", "Road");
    qm::MenuList loaded;
    loaded.AddMenu("KRQM_Road_enu", "Road");
    loaded.AddMenu("KRQM_Rail_enu", "Rail");
    loaded[0].groupName = "KRQM_ROAD";
    loaded[1].groupName = "KRQM_RAIL";
    qm::ModuleList upModules(1);
    upModules[0].SetKey("QM_UP");
    upModules[0].AddMenu("KRQM_Up_enu", "Up");
    upModules[0].SetMenusLoaded(true);
    qm::ModuleList modules(3);
    for (std::size_t i = 0; i < modules.size(); ++i) {
        modules[i].SetKey("QM_" + std::to_string(i));
        modules[i].AddMenu("KRQM_M" + std::to_string(i) + "_enu", "M");
        modules[i].AddMenu("KRQM_N" + std::to_string(i) + "_enu", "M");
    }
    auto holder = startHolder();
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"load one menu: its lookup and its load", [&] { manager.LoadMenuList(road); }},
        {"unload two menus: one unload each", [&] { manager.UnloadMenuList(loaded); }},
        {"stale menus of three modules: one lookup",
         [&] { manager.UnloadStaleModuleMenus(modules); }},
        {"no stale menu: nothing to wait for", [&] { manager.UnloadStaleModuleMenus(upModules); }},
    };
    const std::size_t expected[] = {2, 2, 1, 0};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const std::size_t before = timedOutWaits();
        steps[i].second();
        EXPECT_EQ(timedOutWaits() - before, expected[i]) << steps[i].first;
    }
}

TEST_F(MenuLockTest, KilledHolderReleasesTheLock) {
    const std::string menu = user_.root() + "/m/KRQM_Road_enu.mnu";
    writeMenuFile(menu, "KRQM_ROAD");
    auto holder = startHolder();
    std::string group;
    ASSERT_FALSE(shortWait_.LoadMenuGroupFile(menu, group));
    holder->kill(9);
    holder->wait();
    EXPECT_TRUE(shortWait_.LoadMenuGroupFile(menu, group));
}

// Processes with hosts of their own, all on one menu and one group, each sharing the remembered
// menu list: nobody waits past the time-out, and every host leaves the list it wrote last, an
// empty one, whole.
TEST_F(MenuLockTest, ManyProcessesLoadAndUnloadOneGroupWithoutFailures) {
    constexpr int kProcesses = 4;
    constexpr int kIterations = 40;
    const std::string listFile = user_.stateDir() + "/shared-menugroups.list";
    const std::string menu = user_.root() + "/m/KRQM_SHARED_enu.mnu";
    writeMenuFile(menu, "KRQM_SHARED");
    qmtest::ProcessOptions options;
    options.extraEnv = user_.environment();
    options.timeout = 30s;
    std::vector<std::unique_ptr<qmtest::BackgroundProcess>> children;
    for (int i = 0; i < kProcesses; ++i) {
        children.push_back(std::make_unique<qmtest::BackgroundProcess>(
            std::vector<std::string>{qmtest::binDir() + "/menu_lock_child", listFile, menu,
                                     "KRQM_SHARED", std::to_string(kIterations)},
            options));
    }
    for (auto& child : children) {
        EXPECT_EQ(child->wait(), 0) << child->output();
    }
    EXPECT_EQ(qmtest::readFile(listFile), "");
}

// Threads of one host, all loading, finding and unloading the same group while a sweep runs
// beside them. Each operation is whole: a group one thread found is never unloaded by another
// before the first unloads it, so the host never refuses an unload, and what was loaded and
// unloaded adds up to what is left.
TEST_F(MenuLockTest, ThreadsOnOneGroupNeverInterleaveTheirOperations) {
    constexpr int kThreads = 4;
    constexpr int kIterations = 100;
    // Groups ahead of the shared one make each walk of the collection long.
    for (int i = 0; i < 100; ++i) {
        const std::string pad = user_.root() + "/m/OWN_PAD" + std::to_string(i) + ".mnu";
        writeMenuFile(pad, "OWN_PAD" + std::to_string(i));
        preload(pad);
    }
    const std::string menu = user_.root() + "/m/OWN_SHARED.mnu";
    writeMenuFile(menu, "OWN_SHARED");
    std::vector<std::thread> threads;
    std::atomic<int> loads{0};
    std::atomic<int> unloads{0};
    std::atomic<int> wrongNames{0};
    std::atomic<bool> done{false};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            qm::MenuGroupAutomation automation(log_, 10s);
            for (int i = 0; i < kIterations; ++i) {
                std::string name;
                if (automation.LoadMenuGroupFile(menu, name)) {
                    ++loads;
                    wrongNames += name != "OWN_SHARED";
                }
                if (automation.FindMenuGroupByFile(menu, name)) {
                    wrongNames += name != "OWN_SHARED";
                }
                unloads += automation.UnloadMenuGroupByName("OWN_SHARED");
            }
        });
    }
    const std::string product = user_.root() + "/m/KRQM_Sweep_enu.mnu";
    writeMenuFile(product, "KRQM_SWEEP");
    std::thread sweeper([&] {
        qm::MenuGroupAutomation automation(log_, 10s);
        while (!done) {
            std::string loaded;
            automation.LoadMenuGroupFile(product, loaded);
            automation.UnloadProductMenuGroups();
        }
    });
    for (auto& t : threads) {
        t.join();
    }
    done = true;
    sweeper.join();
    EXPECT_GT(loads, 0);
    EXPECT_EQ(wrongNames, 0);
    EXPECT_EQ(loads - unloads, isLoaded("OWN_SHARED") ? 1 : 0);
    EXPECT_FALSE(isLoaded("KRQM_SWEEP"));
    EXPECT_EQ(logText().find("refused"), std::string::npos) << logText();
    EXPECT_EQ(logText().find("not acquired"), std::string::npos) << logText();
}

}  // namespace
