#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace qmtest {

// A fork of the test process, for what a child program cannot do as well: being killed at a
// known point inside a transaction, or giving up root before running code whose failure
// depends on file permissions. The child reports through a pipe and never returns into the
// test framework; body's result is its exit code (99 when body throws).
class ForkedChild {
public:
    explicit ForkedChild(const std::function<int(int reportFd)>& body);
    ~ForkedChild();
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;
    static constexpr std::chrono::milliseconds kTimeout{30000};

    // Reads the reports until they contain text; false when the child ended first or the
    // time-out passed.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout = kTimeout);
    void kill();
    // Exit code, or 128 + signal; collects the remaining reports. A child still running after
    // the time-out is killed (so the result is 137).
    int wait(std::chrono::milliseconds timeout = kTimeout);
    const std::string& reports() const { return reports_; }

private:
    using Clock = std::chrono::steady_clock;
    // Reads what the child reported, waiting at most until deadline; false at the end of the
    // reports or past the deadline.
    bool readSome(Clock::time_point deadline);
    int pid_ = -1;
    int fd_ = -1;
    int status_ = -1;
    std::string reports_;
};

// The user an ordinary-user child becomes when the tests run as root.
constexpr uid_t kNobody = 65534;

// Makes the (child) process an ordinary user when it runs as root, so that file permissions
// apply to it; true when it already is one. Call it only in a forked child: it cannot be undone.
bool dropRootPrivileges();

// The first folder on the way to path that an ordinary-user child (as dropRootPrivileges makes
// it) may not pass through, or "" when it reaches path: a test whose child must get there
// skips when the caller's temporary folder is private (0700). "" too when not root.
std::string closedToOrdinaryUser(const std::string& path);

// Skips the current test when an ordinary-user child could not reach path.
#define QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(path)                                    \
    if (const std::string closed = ::qmtest::closedToOrdinaryUser(path); !closed.empty()) \
    GTEST_SKIP() << "an ordinary user may not pass through " << closed

// Writes text to a ForkedChild's report descriptor.
void report(int fd, const std::string& text);

}  // namespace qmtest
