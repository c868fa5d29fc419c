#include <qmsys/file_identity.h>
#include <qmsys/files.h>

#include <thread>

#include "qmtest/wait.h"

namespace qmtest {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

}  // namespace

bool waitForFile(const std::string& path, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!qmsys::fileExists(path)) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

bool waitPastFileTimes(const std::vector<std::string>& paths, std::chrono::milliseconds timeout) {
    // Past them as the file clock's own rule sees it: each stamp's tick has ended.
    std::vector<qmsys::FileIdentity> identities;
    for (const std::string& path : paths) {
        qmsys::FileIdentity identity;
        if (qmsys::identifyFile(path, identity)) {
            identities.push_back(identity);
        }
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const qmsys::FileClockMark now = qmsys::markLocalFileClock();
        bool past = true;
        for (const qmsys::FileIdentity& identity : identities) {
            past = past && identity.stampedBefore(now);
        }
        if (past) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
}

}  // namespace qmtest
