// The menu lock across threads and processes: a hung holder makes every operation fail after
// its time-out, a killed holder frees the lock, and many processes and threads loading and
// unloading at once all succeed and leave the remembered menu list intact.
#include <atomic>
#include <chrono>
#include <functional>
#include <iostream>
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

std::string childProgram() {
    return qmtest::binDir() + "/menu_lock_child";
}

class MenuLockTest : public qmtest::MenuRuntimeTest {
protected:
    static constexpr auto kTimeout = 300ms;

    std::unique_ptr<qmtest::BackgroundProcess> startHolder() {
        qmtest::ProcessOptions options;
        options.extraEnv = user_.environment();
        auto holder = std::make_unique<qmtest::BackgroundProcess>(
            std::vector<std::string>{childProgram(), "hold"}, options);
        EXPECT_TRUE(holder->waitForOutput("held", 10s)) << holder->output();
        return holder;
    }

    qm::MenuGroupAutomation shortWait_{log_, kTimeout};
};

struct GuardedOperation {
    const char* label;
    // Runs the operation; true when it reported success or changed the host.
    std::function<bool(qm::MenuGroupAutomation&, const std::string& menuFile)> run;
};

class HungHolderTest : public MenuLockTest,
                       public ::testing::WithParamInterface<GuardedOperation> {};

TEST_P(HungHolderTest, OperationFailsAfterItsTimeOutWithoutTouchingTheHost) {
    const std::string menu = user_.root() + "/m/KRQM_Road_enu.mnu";
    writeMenuFile(menu, "KRQM_ROAD");
    preload(menu);
    auto holder = startHolder();

    const auto start = Clock::now();
    EXPECT_FALSE(GetParam().run(shortWait_, menu));
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, kTimeout);
    EXPECT_LT(elapsed, kTimeout + 2s);
    EXPECT_TRUE(isLoaded("KRQM_ROAD"));
    EXPECT_NE(logText().find("MenuLoaderProtector"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, HungHolderTest,
    ::testing::Values(GuardedOperation{"FindByFile",
                                       [](qm::MenuGroupAutomation& a, const std::string& m) {
                                           std::string g;
                                           return a.FindMenuGroupByFile(m, g);
                                       }},
                      GuardedOperation{"Load",
                                       [](qm::MenuGroupAutomation& a, const std::string&) {
                                           std::string g;
                                           return a.LoadMenuGroupFile("/nonexistent/x.mnu", g);
                                       }},
                      GuardedOperation{"UnloadByName",
                                       [](qm::MenuGroupAutomation& a, const std::string&) {
                                           return a.UnloadMenuGroupByName("KRQM_ROAD");
                                       }},
                      GuardedOperation{"ProductSweep",
                                       [](qm::MenuGroupAutomation& a, const std::string&) {
                                           a.UnloadProductMenuGroups();
                                           return false;  // the host state shows whether it acted
                                       }}),
    [](const auto& info) { return std::string(info.param.label); });

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
    const auto start = Clock::now();
    for (int i = 0; i < kProcesses; ++i) {
        const std::string group = "KRQM_P" + std::to_string(i);
        const std::string menu = user_.root() + "/m/" + group + "_enu.mnu";
        writeMenuFile(menu, group);
        menuFiles.insert(menu);
        children.push_back(std::make_unique<qmtest::BackgroundProcess>(
            std::vector<std::string>{childProgram(), "hammer", listFile, menu, group,
                                     std::to_string(kIterations)},
            options));
    }
    for (auto& child : children) {
        EXPECT_EQ(child->wait(), 0) << child->output();
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    std::cout << "[ measure  ] " << kProcesses << " processes x " << kIterations
              << " load/find/unload rounds: " << elapsed.count() << " ms\n";

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
