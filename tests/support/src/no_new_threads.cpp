#include "qmtest/no_new_threads.h"

#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace qmtest {

namespace {

// A new thread's stack; larger than any kept for reuse (those have the default size).
constexpr std::size_t kStackBytes = std::size_t{1} << 30;
// What the running threads may still map while no thread can start: enough for a dialog's
// painting and a fill's lists, far below kStackBytes.
constexpr rlim_t kRoomBytes = rlim_t{128} << 20;

rlim_t mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    unsigned long long pages = 0;
    if (!(statm >> pages)) {
        throw std::runtime_error("NoNewThreads: /proc/self/statm unreadable");
    }
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

bool NoNewThreads::supported() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

NoNewThreads::NoNewThreads() {
    if (::pthread_getattr_default_np(&previousDefaults_) != 0) {
        throw std::runtime_error("NoNewThreads: default thread attributes unreadable");
    }
    pthread_attr_t big;
    ::pthread_attr_init(&big);
    ::pthread_attr_setstacksize(&big, kStackBytes);
    const int set = ::pthread_setattr_default_np(&big);
    ::pthread_attr_destroy(&big);
    if (set != 0 || ::getrlimit(RLIMIT_AS, &previousLimit_) != 0) {
        throw std::runtime_error("NoNewThreads: cannot set the default stack size");
    }
    rlimit tight = previousLimit_;
    tight.rlim_cur = mappedBytes() + kRoomBytes;
    if (previousLimit_.rlim_max != RLIM_INFINITY && tight.rlim_cur > previousLimit_.rlim_max) {
        tight.rlim_cur = previousLimit_.rlim_max;
    }
    if (::setrlimit(RLIMIT_AS, &tight) != 0) {
        ::pthread_setattr_default_np(&previousDefaults_);
        throw std::runtime_error("NoNewThreads: cannot limit the address space");
    }
}

NoNewThreads::~NoNewThreads() {
    ::setrlimit(RLIMIT_AS, &previousLimit_);
    ::pthread_setattr_default_np(&previousDefaults_);
    ::pthread_attr_destroy(&previousDefaults_);
}

}  // namespace qmtest
