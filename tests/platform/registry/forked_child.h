#pragma once
// A copy of the test process made with fork(), for what a child program cannot do as well:
// being killed at a known point inside a transaction, or dropping privileges before running
// a program. The child reports to the parent through a pipe and never returns into the test
// framework.
#include <chrono>
#include <functional>
#include <string>

namespace regtest {

class ForkedChild {
public:
    // body runs in the child with the write end of the report pipe; its result is the
    // child's exit code (an exception exits with 99).
    explicit ForkedChild(const std::function<int(int reportFd)>& body);
    ~ForkedChild();  // kills the child if it still runs, and reaps it
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    // Waits until the reports contain text; false on time-out or when the child ended first.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout);
    void kill();
    // Exit code, or 128 + signal; collects the remaining reports.
    int wait();
    const std::string& reports() const { return reports_; }

private:
    bool readSome(int timeoutMs);

    int pid_ = -1;
    int fd_ = -1;
    int status_ = -1;
    std::string reports_;
};

// Makes the calling (child) process an ordinary user when it runs as root, so that file
// permissions apply to it. Returns false when that fails.
bool dropRootPrivileges();

}  // namespace regtest
