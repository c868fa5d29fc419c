#include "qmtest/file_tick.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include <qmsys/file_identity.h>

namespace qmtest {

int runWithinOneTick(const std::function<void()>& attempt, const std::function<void()>& undo,
                     int maxRuns) {
    for (int run = 1; run <= maxRuns; ++run) {
        // Waits for the clock to move on: a tick lasts a few milliseconds, so the wait yields
        // instead of sleeping past the tick's start. A clock standing still for a second is
        // no clock to fit anything into.
        const std::int64_t previous = qmsys::markLocalFileClock().ns;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        std::int64_t start = previous;
        while ((start = qmsys::markLocalFileClock().ns) == previous) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return 0;
            }
            std::this_thread::yield();
        }
        attempt();
        if (qmsys::markLocalFileClock().ns == start) {
            return run;
        }
        undo();
    }
    return 0;
}

}  // namespace qmtest
