#pragma once
// Bounded waits for what another process, or the file system's clock, does. Each looks again
// after a short sleep and gives up at its time-out, so that a test fails instead of hanging or
// spinning on a core that the process it waits for needs.
#if !defined(_WIN32)
#include <sys/types.h>
#endif

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qmtest {

// Checks condition every interval until it holds or timeout has passed; whether it held.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10),
                      std::chrono::milliseconds interval = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
    return true;
}

// Waits until path exists; false when it has not appeared within timeout.
bool waitForFile(const std::string& path,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Waits until the file clock (the clock that stamps files: the coarse real-time clock on Linux)
// has passed the modification and change times of every path that exists, so that whatever
// changes from now on is stamped later than all of them. False when the clock stands still for
// timeout.
bool waitPastFileTimes(const std::vector<std::string>& paths,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The calling thread's id, as the system knows it (what blockedIn and waitUntilBlocked take).
long currentThreadId();

#if !defined(_WIN32)
// What a thread of this process is blocked in: the number of the system call it sleeps in,
// with its arguments; nullopt while the thread runs (or is gone).
struct BlockedCall {
    long number = -1;
    unsigned long long args[6] = {};
};
std::optional<BlockedCall> blockedIn(long tid);
#endif

// Waits until thread tid of this process sleeps in system call `call` (a SYS_ number; on Linux
// the system says so), or until done() holds. True when the thread was seen blocked there:
// proof that it waits, with no guess at how long waiting takes. Where the system cannot tell
// (Windows), true at once unless done() already holds.
bool waitUntilBlocked(long tid, long call, const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

#if !defined(_WIN32)
// Waits for the child pid to end and reaps it, killing it (SIGKILL) once timeout has passed.
// Returns its wait status as waitpid gives it, or -1 when pid is no child to wait for.
int waitForExit(pid_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(30));
#endif

// Makes this process adopt every process it starts indirectly (a program started through a
// double fork is orphaned at once) for as long as it lives, so that a test can wait for all
// of them to end: proof that a step started nothing, or that what it started has done its
// work. Kills and reaps whatever is left on destruction. One at a time per process. On
// Windows the process and everything it starts from then on share a job object, whose count
// of live processes tells the same.
class Descendants {
public:
    Descendants();
    ~Descendants();
    Descendants(const Descendants&) = delete;
    Descendants& operator=(const Descendants&) = delete;

    // Reaps every child and adopted descendant until none is left; false when some are still
    // running at the time-out.
    bool waitForAll(std::chrono::milliseconds timeout = std::chrono::seconds(10));
};
}  // namespace qmtest
