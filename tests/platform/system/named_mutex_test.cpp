#include "qmsys/named_mutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <filesystem>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "qmtest/child_process.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kOutputWait = 10s;  // generous: the machine is shared

// A qm_lock_holder child; it sees the same relocated session as the test.
std::unique_ptr<qmtest::BackgroundProcess> startHolder(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {qmtest::binDir() + "/qm_lock_holder"};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<qmtest::BackgroundProcess>(argv);
}

bool createMarker(const std::string& name, std::unique_ptr<qmsys::ExistenceMarker>& out) {
    bool alreadyExists = true;
    out = qmsys::ExistenceMarker::create(name, alreadyExists);
    EXPECT_NE(out, nullptr);
    return !alreadyExists;
}

class ExistenceMarkerTest : public qmtest::RelocatedTest {};

TEST_F(ExistenceMarkerTest, SecondCreationInTheSameProcessSeesTheFirst) {
    std::unique_ptr<qmsys::ExistenceMarker> first, second;
    ASSERT_TRUE(createMarker("ModuleLoader App Class 19.10", first));
    EXPECT_FALSE(createMarker("ModuleLoader App Class 19.10", second));
    second.reset();
    EXPECT_FALSE(createMarker("ModuleLoader App Class 19.10", second));  // still held by first
    first.reset();
    EXPECT_TRUE(createMarker("ModuleLoader App Class 19.10", second));
}

// A relocated session (another XDG_RUNTIME_DIR: a test, the demo) has markers of its own:
// it never sees the user's real one, nor the user its, while the same relocation always does.
TEST_F(ExistenceMarkerTest, ARelocatedSessionHasMarkersOfItsOwn) {
    std::unique_ptr<qmsys::ExistenceMarker> mine, relocated, again;
    ASSERT_TRUE(createMarker("ModuleLoader App Class 19.10", mine));
    const std::string elsewhere = user_.root() + "/elsewhere";
    std::filesystem::create_directories(elsewhere);
    {
        const qmtest::ScopedEnv runtime("XDG_RUNTIME_DIR", elsewhere);
        EXPECT_TRUE(createMarker("ModuleLoader App Class 19.10", relocated));
        EXPECT_FALSE(createMarker("ModuleLoader App Class 19.10", again));
    }
    EXPECT_FALSE(createMarker("ModuleLoader App Class 19.10", again));
    mine.reset();
    EXPECT_TRUE(createMarker("ModuleLoader App Class 19.10", again));
}

TEST_F(ExistenceMarkerTest, MarkerOfAnotherProcessExistsUntilThatProcessDies) {
    auto holder = startHolder({"marker", "ModuleLoader App Class 19.10"});
    ASSERT_TRUE(holder->waitForOutput("held", kOutputWait)) << holder->output();

    std::unique_ptr<qmsys::ExistenceMarker> mine;
    EXPECT_FALSE(createMarker("ModuleLoader App Class 19.10", mine));

    holder->kill();
    holder->wait();
    EXPECT_TRUE(createMarker("ModuleLoader App Class 19.10", mine));

    auto second = startHolder({"marker", "ModuleLoader App Class 19.10"});
    EXPECT_TRUE(second->waitForOutput("exists", kOutputWait)) << second->output();
    EXPECT_EQ(second->wait(), 3);
}

class NamedMutexTest : public qmtest::RelocatedTest {};

TEST_F(NamedMutexTest, ReentrantInTheOwningThreadAndExclusiveForOthers) {
    qmsys::NamedMutex mutex("MenuLoaderProtector");
    ASSERT_TRUE(mutex.lock(100ms));
    ASSERT_TRUE(mutex.lock(0ms));
    // A second object of the same name is the same mutex, re-entrant for this thread too.
    qmsys::NamedMutex sameName("MenuLoaderProtector");
    ASSERT_TRUE(sameName.lock(0ms));
    sameName.unlock();
    mutex.unlock();

    auto tryFromOtherThread = [](std::chrono::milliseconds timeout) {
        bool acquired = false;
        std::thread([&] {
            qmsys::NamedMutex other("MenuLoaderProtector");
            acquired = other.lock(timeout);
            if (acquired) {
                other.unlock();
            }
        }).join();
        return acquired;
    };
    EXPECT_FALSE(tryFromOtherThread(30ms));  // still held once
    mutex.unlock();
    EXPECT_TRUE(tryFromOtherThread(0ms));
}

TEST_F(NamedMutexTest, ThreadsNeverOverlapInsideTheLock) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    int counter = 0;  // deliberately unsynchronised except by the named mutex
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            qmsys::NamedMutex mutex("counter");
            for (int i = 0; i < kRounds; ++i) {
                ASSERT_TRUE(mutex.lock(5000ms));
                const int seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                mutex.unlock();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(counter, kThreads * kRounds);
}

TEST_F(NamedMutexTest, TimesOutWhileAnotherProcessHoldsIt) {
    auto holder = startHolder({"mutex", "MenuLoaderProtector", "0"});
    ASSERT_TRUE(holder->waitForOutput("held", kOutputWait)) << holder->output();

    // The holder keeps the lock until told: a wait that ignored its time-out would never end
    // (and the test would be stopped by its own), so returning at all is the proof.
    qmsys::NamedMutex mutex("MenuLoaderProtector");
    const auto start = Clock::now();
    EXPECT_FALSE(mutex.lock(250ms));
    EXPECT_GE(Clock::now() - start, 250ms) << "gave up before its time-out";

    holder->writeInput("\n");
    ASSERT_TRUE(holder->waitForOutput("released", kOutputWait));
    EXPECT_TRUE(mutex.lock(1000ms));
    mutex.unlock();
}

TEST_F(NamedMutexTest, DeathOfTheHoldingProcessCountsAsRelease) {
    auto holder = startHolder({"mutex", "MenuLoaderProtector", "0"});
    ASSERT_TRUE(holder->waitForOutput("held", kOutputWait)) << holder->output();
    holder->kill();
    holder->wait();

    qmsys::NamedMutex mutex("MenuLoaderProtector");
    EXPECT_TRUE(mutex.lock(1000ms));
    mutex.unlock();
}

#if !defined(_WIN32)
// Another local user may create the shared lock folders first, or leave them open. Such a
// folder is passed over; when none qualifies, the single-instance marker cannot be had (its
// caller refuses to run), while the named mutex still orders the threads of the process.
enum class Plant { OtherOwner, OpenToAll, Symlink };

class PlantedSessionFolderTest : public qmtest::RelocatedTest,
                                 public ::testing::WithParamInterface<Plant> {
protected:
    void SetUp() override {
        std::filesystem::create_directories(tmp_);
        if (GetParam() == Plant::OtherOwner && ::geteuid() != 0) {
            GTEST_SKIP() << "only root can give a folder to another user";
        }
    }
    // The folders every process of the user tries, in order.
    std::vector<std::string> candidates() const {
        return {user_.runtimeDir() + "/quillmont",
                tmp_ + "/quillmont-" + std::to_string(::geteuid()),
                user_.stateDir() + "/quillmont-session"};
    }
    void plant(const std::string& folder) {
        namespace fs = std::filesystem;
        fs::create_directories(fs::path(folder).parent_path());
        switch (GetParam()) {
            case Plant::OtherOwner:
                ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
                ASSERT_EQ(::chown(folder.c_str(), 4242, 4242), 0);
                break;
            case Plant::OpenToAll:
                ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
                ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
                break;
            case Plant::Symlink: {
                const std::string elsewhere = folder + ".real";
                ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
                fs::create_symlink(elsewhere, folder);
                break;
            }
        }
    }

    const std::string tmp_ = user_.root() + "/tmp";
    qmtest::ScopedEnv tmpdir_{"TMPDIR", tmp_};
};

TEST_P(PlantedSessionFolderTest, IsPassedOverAndWithNoneLeftTheMarkerFailsClosed) {
    const auto folders = candidates();
    plant(folders[0]);
    EXPECT_EQ(qmsys::sessionObjectFolder(), folders[1]);
    plant(folders[2]);
    // The /tmp candidate is in use already (ours, mode 0700), so it stays the choice.
    EXPECT_EQ(qmsys::sessionObjectFolder(), folders[1]);
    std::filesystem::remove_all(folders[1]);
    plant(folders[1]);
    EXPECT_EQ(qmsys::sessionObjectFolder(), "");

    bool alreadyExists = true;
    std::string why;
    EXPECT_EQ(qmsys::ExistenceMarker::create("ModuleLoader App Class 19.10", alreadyExists, &why),
              nullptr);
    EXPECT_FALSE(alreadyExists);
    EXPECT_NE(why.find(folders[0]), std::string::npos) << why;

    qmsys::NamedMutex mutex("MenuLoaderProtector");
    ASSERT_TRUE(mutex.lock(100ms));
    bool otherThreadGotIt = true;
    std::thread([&] {
        qmsys::NamedMutex other("MenuLoaderProtector");
        otherThreadGotIt = other.lock(30ms);
    }).join();
    EXPECT_FALSE(otherThreadGotIt);
    mutex.unlock();
}

std::string plantName(const ::testing::TestParamInfo<Plant>& info) {
    constexpr const char* kNames[] = {"OtherOwner", "OpenToAll", "Symlink"};
    return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlantedSessionFolderTest,
                         ::testing::Values(Plant::OtherOwner, Plant::OpenToAll, Plant::Symlink),
                         plantName);

#endif

}  // namespace
