#pragma once
// A process that cannot start another thread, for root too: while this object lives, a new
// thread asks for a stack far larger than the address space the process has left, so thread
// creation fails (std::thread throws std::system_error) while ordinary allocations of the
// running threads still succeed. Stacks of ended threads that the C library keeps for reuse
// are too small to be taken instead. Restores the limit and the default stack size on
// destruction. Not for sanitizer builds, whose run-time maps memory of its own at any time.
#include <pthread.h>
#include <sys/resource.h>

namespace qmtest {

class NoNewThreads {
public:
    NoNewThreads();
    ~NoNewThreads();
    NoNewThreads(const NoNewThreads&) = delete;
    NoNewThreads& operator=(const NoNewThreads&) = delete;

    // False in sanitizer builds; a test then skips.
    static bool supported();

private:
    rlimit previousLimit_{};
    pthread_attr_t previousDefaults_{};
};

}  // namespace qmtest
