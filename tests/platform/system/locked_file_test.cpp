// LockedFile: a journal that processes change in turns. Threads of the test take the lock
// through files of their own, as other processes would, and a helper process holds it across
// a kill.
#if !defined(_WIN32)
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "qmsys/files.h"
#include "qmtest/child_process.h"
#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/temp_dir.h"
#include "qmtest/wait.h"

#if !defined(_WIN32)
extern char** environ;
#endif

namespace {

using namespace std::chrono_literals;
using qmsys::LockedFile;

constexpr auto kGenerous = 10s;  // the machine is shared
#if defined(_WIN32)
constexpr long kLockCall = 0;  // not told on Windows
#else
constexpr long kLockCall = SYS_flock;
#endif

LockedFile lock(const std::string& path, LockedFile::Access access) {
    qmsys::WinError error = qmsys::kErrorSuccess;
    LockedFile file = LockedFile::lock(path, access, error);
    EXPECT_TRUE(file.isLocked()) << path << ": error " << error;
    return file;
}

// A lock taken on a thread of its own, which appends text once it holds it.
struct Appender {
    std::future<bool> done;
    long thread = 0;

    // Whether the appender is seen waiting for the lock: blocked in the lock's system call
    // before it has appended. An appender that gets the lock at once never is.
    bool waitsForTheLock() {
        return qmtest::waitUntilBlocked(
            thread, kLockCall, [this] { return done.wait_for(0s) == std::future_status::ready; });
    }
};

Appender appendWhenLocked(const std::string& path, const std::string& text) {
    std::promise<long> started;
    std::future<long> thread = started.get_future();
    Appender appender;
    appender.done =
        std::async(std::launch::async, [path, text, started = std::move(started)]() mutable {
            started.set_value(qmtest::currentThreadId());
            LockedFile file = lock(path, LockedFile::Access::Append);
            return file.append(text) && file.unlock();
        });
    appender.thread = thread.get();
    return appender;
}

TEST(LockedFile, AnotherHolderWaitsUntilTheLockIsGivenUp) {
    qmtest::TempDir dir;
    const std::string path = dir / "journal";
    LockedFile first = lock(path, LockedFile::Access::Append);
    Appender second = appendWhenLocked(path, "second\n");
    EXPECT_TRUE(second.waitsForTheLock());
    EXPECT_TRUE(first.append("first\n"));
    EXPECT_TRUE(first.unlock());
    ASSERT_EQ(second.done.wait_for(kGenerous), std::future_status::ready);
    EXPECT_TRUE(second.done.get());
    EXPECT_EQ(qmtest::readFile(path), "first\nsecond\n");
}

// Only lockers are excluded: the file reads as usual while the lock is held (Windows' byte
// locks are mandatory, so the lock must lie where no read goes).
TEST(LockedFile, ReadersThatDoNotLockReadTheFileMeanwhile) {
    qmtest::TempDir dir;
    const std::string path = dir / "journal";
    qmtest::writeFile(path, "a\n");
    for (const LockedFile::Access access : {LockedFile::Access::Read, LockedFile::Access::Append}) {
        LockedFile held = lock(path, access);
        std::string text;
        EXPECT_EQ(qmsys::readRegularFile(path, 100, text), qmsys::kErrorSuccess);
        EXPECT_EQ(text, "a\n");
    }
}

// A compaction replaces the file while an appender waits: the appender writes to the new
// file under the name, not to the one it first found there.
TEST(LockedFile, AWaitingAppenderWritesToTheFileThatReplacedTheOld) {
    qmtest::TempDir dir;
    const std::string path = dir / "journal";
    qmtest::writeFile(path, "a\n-a\nb\n");
    LockedFile compacting = lock(path, LockedFile::Access::Read);
    Appender appender = appendWhenLocked(path, "c\n");
    EXPECT_TRUE(appender.waitsForTheLock());
    std::string text;
    ASSERT_TRUE(compacting.readAll(text));
    EXPECT_EQ(text, "a\n-a\nb\n");
    EXPECT_EQ(compacting.replace("b\n", 0644), qmsys::kErrorSuccess);
    EXPECT_TRUE(compacting.unlock());
    ASSERT_EQ(appender.done.wait_for(kGenerous), std::future_status::ready);
    EXPECT_TRUE(appender.done.get());
    EXPECT_EQ(qmtest::readFile(path), "b\nc\n");
}

TEST(LockedFile, WhatCannotBeLockedSaysWhy) {
    qmtest::TempDir dir;
    qmtest::writeFile(dir / "folder/file", "");
    struct Case {
        const char* what;
        std::string path;
        LockedFile::Access access;
        qmsys::WinError expected;
    };
    const Case cases[] = {
        {"missing file, to read", dir / "missing", LockedFile::Access::Read,
         qmsys::kErrorFileNotFound},
        {"missing folder, to read", dir / "none/journal", LockedFile::Access::Read,
         qmsys::kErrorPathNotFound},
        {"missing folder, to append", dir / "none/journal", LockedFile::Access::Append,
         qmsys::kErrorPathNotFound},
        {"a folder, to read", dir / "folder", LockedFile::Access::Read, qmsys::kErrorAccessDenied},
        {"a folder, to append", dir / "folder", LockedFile::Access::Append,
         qmsys::kErrorAccessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qmsys::WinError error = qmsys::kErrorSuccess;
        const LockedFile file = LockedFile::lock(c.path, c.access, error);
        EXPECT_FALSE(file.isLocked());
        EXPECT_EQ(error, c.expected);
    }
    // Appending creates the file.
    LockedFile created = lock(dir / "new", LockedFile::Access::Append);
    EXPECT_TRUE(created.append("x\n"));
    EXPECT_TRUE(created.unlock());
    EXPECT_EQ(qmtest::readFile(dir / "new"), "x\n");
}

// The system gives the lock up when its holder dies, however it dies.
TEST(LockedFile, AKilledHoldersLockIsReleased) {
    qmtest::TempDir dir;
    const std::string path = dir / "journal";
    qmtest::BackgroundProcess holder({qmtest::binDir() + "/qm_lock_holder", "file", path});
    ASSERT_TRUE(holder.waitForOutput("held", kGenerous)) << holder.output();
    Appender waiter = appendWhenLocked(path, "after\n");
    EXPECT_TRUE(waiter.waitsForTheLock());
    holder.kill();
    holder.wait();
    ASSERT_EQ(waiter.done.wait_for(kGenerous), std::future_status::ready);
    EXPECT_TRUE(waiter.done.get());
    EXPECT_EQ(qmtest::readFile(path), "after\n");
}

#if defined(_WIN32)
TEST(StandardInputKind, APipedInputIsAPipe) {
    const auto result = qmtest::runProcess({qmtest::binDir() + "/qm_lock_holder", "input"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.substr(0, result.out.find_first_of("\r\n")), "pipe");
}
#else
// What qm_lock_holder says its standard input is when started with input as its descriptor 0
// (-1: closed).
std::string inputKindSeenWith(int input) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return "no pipe";
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input < 0) {
        posix_spawn_file_actions_addclose(&actions, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string program = qmtest::binDir() + "/qm_lock_holder";
    std::string mode = "input";
    char* argv[] = {program.data(), mode.data(), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string said;
    char buffer[64];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (rc != 0) {
        return "not started";
    }
    EXPECT_EQ(qmtest::waitForExit(pid), 0);
    return said.substr(0, said.find_first_of("\r\n"));
}

// Each kind of standard input a program may be started with is told apart (a terminal needs
// one to be there, which a test run has not).
TEST(StandardInputKind, EveryKindIsToldApart) {
    qmtest::TempDir dir;
    qmtest::writeFile(dir / "input.txt", "text\n");
    const struct {
        const char* kind;
        std::function<std::vector<int>()> open;  // the child's input first, then what to close
    } cases[] = {
        {"pipe",
         [] {
             int ends[2] = {-1, -1};
             EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
             return std::vector<int>{ends[0], ends[1]};
         }},
        {"file",
         [&] {
             return std::vector<int>{::open((dir / "input.txt").c_str(), O_RDONLY | O_CLOEXEC)};
         }},
        {"device", [] { return std::vector<int>{::open("/dev/null", O_RDONLY | O_CLOEXEC)}; }},
        {"socket",
         [] {
             int ends[2] = {-1, -1};
             EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
             return std::vector<int>{ends[0], ends[1]};
         }},
        {"closed", [] { return std::vector<int>{-1}; }},
    };
    for (const auto& c : cases) {
        const std::vector<int> descriptors = c.open();
        if (c.kind != std::string("closed")) {
            ASSERT_GE(descriptors[0], 0) << c.kind;
        }
        EXPECT_EQ(inputKindSeenWith(descriptors[0]), c.kind);
        for (const int fd : descriptors) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
}
#endif

}  // namespace
