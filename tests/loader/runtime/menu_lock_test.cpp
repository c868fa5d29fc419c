// The menu lock across threads and processes: a hung holder makes every operation fail after
// its time-out, a killed holder frees the lock, and many processes and threads loading and
// unloading at once all succeed and leave the remembered menu list intact.
#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include <qmtest/child_process.h>
#include <qmtest/files.h>

#include "menu_runtime_fixture.h"

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
        const auto elapsed = Clock::now() - start;
        EXPECT_GE(elapsed, kTimeout) << what;
        EXPECT_LT(elapsed, kTimeout + 2s) << what;
        EXPECT_EQ(groupNames(), std::vector<std::string>{"KRQM_ROAD"}) << what;
    }
    EXPECT_NE(logText().find("MenuLoaderProtector"), std::string::npos);
}

TEST_F(MenuLockTest, KilledHolderReleasesTheLock) {
    const std::string menu = user_.root() + "/m/KRQM_Road_enu.mnu";
    writeMenuFile(menu, "KRQM_ROAD");
    auto holder = startHolder();
    std::string group;
    ASSERT_FALSE(shortWait_.LoadMenuGroupFile(menu, group));
    holder->kill(9);
    holder->wait();
    const auto start = Clock::now();
    EXPECT_TRUE(shortWait_.LoadMenuGroupFile(menu, group));
    EXPECT_LT(Clock::now() - start, kTimeout);
}

TEST_F(MenuLockTest, ManyProcessesLoadAndUnloadWithoutFailures) {
    constexpr int kProcesses = 4;
    constexpr int kIterations = 40;
    const std::string listFile = user_.stateDir() + "/shared-menugroups.list";
    std::set<std::string> menuFiles;
    std::vector<std::unique_ptr<qmtest::BackgroundProcess>> children;
    qmtest::ProcessOptions options;
    options.extraEnv = user_.environment();
    options.timeout = 120s;
    for (int i = 0; i < kProcesses; ++i) {
        const std::string group = "KRQM_P" + std::to_string(i);
        const std::string menu = user_.root() + "/m/" + group + "_enu.mnu";
        writeMenuFile(menu, group);
        menuFiles.insert(menu);
        children.push_back(std::make_unique<qmtest::BackgroundProcess>(
            std::vector<std::string>{qmtest::binDir() + "/menu_lock_child", listFile, menu, group,
                                     std::to_string(kIterations)},
            options));
    }
    for (auto& child : children) {
        EXPECT_EQ(child->wait(), 0) << child->output();
    }

    // The remembered list is whole: every line names one of the menus, none twice.
    std::istringstream lines(qmtest::readFile(listFile));
    std::set<std::string> seen;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(menuFiles.count(line)) << "unexpected line: " << line;
        EXPECT_TRUE(seen.insert(line).second) << "twice: " << line;
    }
}

TEST_F(MenuLockTest, ThreadsShareTheLockWithASweepRunningAlongside) {
    constexpr int kThreads = 4;
    constexpr int kIterations = 50;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    std::atomic<bool> done{false};
    for (int t = 0; t < kThreads; ++t) {
        const std::string group = "OWN_T" + std::to_string(t);
        const std::string menu = user_.root() + "/m/" + group + ".mnu";
        writeMenuFile(menu, group);
        threads.emplace_back([&, group, menu] {
            qm::MenuGroupAutomation automation(log_, 10s);
            for (int i = 0; i < kIterations; ++i) {
                std::string loaded;
                failures += !automation.LoadMenuGroupFile(menu, loaded);
                failures += !automation.UnloadMenuGroupByName(group);
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
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(groupNames().empty()) << groupNames().front();
}

}  // namespace
