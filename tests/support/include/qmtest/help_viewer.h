#pragma once
// A help viewer for tests: a script named by QM_HELP_VIEWER (for the object's lifetime) that
// records each call, its process id and its arguments, in a log of its own, and then either
// ends or, like a real viewer, keeps running until it is killed.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "qmtest/scoped_env.h"

namespace qmtest {

class HelpViewer {
public:
    struct Call {
        int pid = 0;
        std::vector<std::string> arguments;
    };

    // Writes the script into folder (which must exist). keepsRunning: each call stays
    // until killed; the destructor kills the ones recorded.
    explicit HelpViewer(const std::string& folder, bool keepsRunning = false);
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // The calls recorded so far, once there are at least count of them or the time-out has
    // passed.
    std::vector<Call> waitForCalls(std::size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    std::vector<Call> calls() const;
    std::string log_;
    std::unique_ptr<ScopedEnv> env_;
};

}  // namespace qmtest
