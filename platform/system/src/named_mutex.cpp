// A named mutex of the session: a per-process recursive timed lock shared by every
// NamedMutex of one name (it orders the threads), combined with flock on the name's lock
// file (it orders the processes, and the kernel releases it when a holder dies).
#include "qmsys/named_mutex.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "session_objects_p.h"

namespace qmsys {

struct NamedMutex::Shared {
    explicit Shared(std::string objectName) : name(std::move(objectName)) {}
    ~Shared() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    // The one Shared of name in this process, alive while any NamedMutex of that name is.
    static std::shared_ptr<Shared> forName(const std::string& name);

    const std::string name;
    std::mutex guard;  // protects owner and depth
    std::condition_variable released;
    std::thread::id owner;  // default id: no thread of this process holds the lock
    int depth = 0;
    // Only the owning thread touches fd and fileUnusable; ownership passes through guard,
    // which orders them.
    int fd = -1;
    // The lock file cannot be had (no private session folder): the lock then orders only the
    // threads of this process, so that the process keeps working.
    bool fileUnusable = false;
};

namespace {

using Clock = std::chrono::steady_clock;

// Polls flock until it is granted or the deadline passes. Polling keeps the wait bounded
// without signals. The back-off stays under a millisecond: a holder that releases and takes
// the lock again at once leaves only a short gap, and waiters that look less often than that
// can starve past their time-out when many processes contend.
bool lockFileUntil(int fd, Clock::time_point deadline) {
    Clock::duration pause = std::chrono::microseconds(100);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min<Clock::duration>(pause * 2, std::chrono::microseconds(500));
    }
}

}  // namespace

std::shared_ptr<NamedMutex::Shared> NamedMutex::Shared::forName(const std::string& name) {
    // Never destroyed: NamedMutex objects may still be released during static destruction.
    static auto* registryGuard = new std::mutex;
    static auto* registry = new std::map<std::string, std::weak_ptr<Shared>>;
    std::lock_guard lock(*registryGuard);
    std::erase_if(*registry, [](const auto& entry) { return entry.second.expired(); });
    auto& slot = (*registry)[name];
    auto shared = slot.lock();
    if (!shared) {
        shared = std::make_shared<Shared>(name);
        slot = shared;
    }
    return shared;
}

NamedMutex::NamedMutex(const std::string& name) : shared_(Shared::forName(name)) {}

NamedMutex::~NamedMutex() = default;

bool NamedMutex::lock(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    const auto self = std::this_thread::get_id();
    Shared& s = *shared_;
    {
        std::unique_lock lock(s.guard);
        if (s.owner == self) {
            ++s.depth;
            return true;
        }
        if (!s.released.wait_until(lock, deadline, [&] { return s.owner == std::thread::id(); })) {
            return false;
        }
        // Claim the name within the process; other threads now wait on the condition.
        s.owner = self;
    }
    if (s.fd < 0 && !s.fileUnusable) {
        s.fd = openSessionLockFile(s.name, SessionObjectKind::Mutex);
        s.fileUnusable = s.fd < 0;
    }
    const bool acquired = s.fileUnusable || lockFileUntil(s.fd, deadline);
    std::lock_guard lock(s.guard);
    if (acquired) {
        s.depth = 1;
    } else {
        s.owner = std::thread::id();
        s.released.notify_one();
    }
    return acquired;
}

void NamedMutex::unlock() {
    Shared& s = *shared_;
    std::lock_guard lock(s.guard);
    if (s.owner != std::this_thread::get_id()) {
        return;  // as ReleaseMutex by a thread that does not own it: nothing changes
    }
    if (--s.depth > 0) {
        return;
    }
    if (s.fd >= 0) {
        ::flock(s.fd, LOCK_UN);
    }
    s.owner = std::thread::id();
    s.released.notify_one();
}

}  // namespace qmsys
