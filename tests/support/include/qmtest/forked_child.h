#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace qmtest {

// A fork of the test process that only sets up its standard streams in ways the process
// helpers do not offer (a closed input, a socket) and then executes a program: it runs no code
// of the product, which the fork of a threaded process could find in any state. The child
// never returns into the test framework; body's result is its exit code (99 when it throws).
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

}  // namespace qmtest
