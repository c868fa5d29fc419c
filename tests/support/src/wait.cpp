#include "qmtest/wait.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

namespace qmtest {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

long long nanoseconds(const timespec& t) {
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

}  // namespace

bool waitForFile(const std::string& path, std::chrono::milliseconds timeout) {
    struct stat st {};
    return waitUntil([&] { return ::stat(path.c_str(), &st) == 0; }, timeout);
}

bool waitPastFileTimes(const std::vector<std::string>& paths, std::chrono::milliseconds timeout) {
    long long latest = 0;
    for (const std::string& path : paths) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            latest = std::max({latest, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)});
        }
    }
    // The coarse clock ticks every few milliseconds.
    return waitUntil(
        [&] {
            timespec now{};
            return ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 && nanoseconds(now) > latest;
        },
        timeout, 1ms);
}

long currentThreadId() {
    return static_cast<long>(::gettid());
}

std::optional<BlockedCall> blockedIn(long tid) {
    const std::string task = "/proc/self/task/" + std::to_string(tid);
    // The state first: a thread that sleeps ('S'), or waits for the disk ('D'), in the call.
    std::ifstream stat(task + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t end = line.rfind(')');  // the name in parentheses may hold anything
    if (end == std::string::npos || end + 2 >= line.size() ||
        (line[end + 2] != 'S' && line[end + 2] != 'D')) {
        return std::nullopt;
    }
    std::ifstream syscall(task + "/syscall");
    BlockedCall call;
    if (!(syscall >> call.number)) {
        return std::nullopt;  // "running"
    }
    syscall >> std::hex;
    for (unsigned long long& arg : call.args) {
        syscall >> arg;
    }
    return call;
}

bool waitUntilBlocked(long tid, long call, const std::function<bool()>& done,
                      std::chrono::milliseconds timeout) {
    bool blocked = false;
    waitUntil(
        [&] {
            const std::optional<BlockedCall> in = done() ? std::nullopt : blockedIn(tid);
            blocked = in && in->number == call;
            return blocked || done();
        },
        timeout, 1ms);
    return blocked;
}

int waitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (bool killed = false;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return status;
        }
        if (r < 0 && errno != EINTR) {
            return -1;
        }
        if (!killed && Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        std::this_thread::sleep_for(1ms);
    }
}

Descendants::Descendants() {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

Descendants::~Descendants() {
    // What is still running is killed by its id (adopted processes are in no group of ours).
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream children(task.path() / "children");
        for (pid_t pid; children >> pid;) {
            ::kill(pid, SIGKILL);
        }
    }
    waitForAll(5s);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

bool Descendants::waitForAll(std::chrono::milliseconds timeout) {
    return waitUntil(
        [] {
            pid_t pid = 0;
            while ((pid = ::waitpid(-1, nullptr, WNOHANG)) > 0) {
            }
            return pid < 0 && errno == ECHILD;
        },
        timeout, 2ms);
}

}  // namespace qmtest
