// FIFOs in place of files, for the tests of readers that must never wait on one (POSIX).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <thread>

#include "qmtest/files.h"
#include "qmtest/wait.h"

namespace qmtest {

namespace {

namespace fs = std::filesystem;

// The FIFO that a call blocked in, if it is one of fifos: an open of its path, or a read of a
// descriptor that names it. The arguments point into this process, where the blocked thread
// leaves them alone while it sleeps.
bool blockedOnOneOf(const BlockedCall& call, const std::vector<fs::path>& fifos) {
    fs::path target;
    std::error_code ec;
    if (call.number == SYS_openat) {
        const char* name = reinterpret_cast<const char*>(call.args[1]);
        const int dir = static_cast<int>(call.args[0]);
        target = fs::path(name);
        if (target.is_relative() && dir != AT_FDCWD) {
            target = fs::read_symlink("/proc/self/fd/" + std::to_string(dir), ec) / target;
        }
    } else if (call.number == SYS_read || call.number == SYS_readv || call.number == SYS_pread64) {
        target = fs::read_symlink("/proc/self/fd/" + std::to_string(call.args[0]), ec);
    } else {
        return false;
    }
    const fs::path resolved = fs::weakly_canonical(target, ec);
    for (const fs::path& fifo : fifos) {
        if (resolved == fifo) {
            return true;
        }
    }
    return false;
}

}  // namespace

void makeFifo(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (::mkfifo(path.c_str(), 0644) != 0) {
        throw std::runtime_error("cannot make FIFO " + path);
    }
}

bool returnsWithoutWaitingOnFifos(const std::function<void()>& work,
                                  const std::vector<std::string>& fifos) {
    std::vector<fs::path> canonical;
    for (const std::string& fifo : fifos) {
        canonical.push_back(fs::weakly_canonical(fifo));
    }
    std::atomic<long> thread{0};
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread worker([&] {
        thread = currentThreadId();
        work();
        done.set_value();
    });
    bool waited = false;
    // Only a hang in something no FIFO releases reaches this: the thread cannot be stopped or
    // joined, so the test ends here, loudly, rather than at its time-out.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (finished.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        if (std::chrono::steady_clock::now() > giveUp) {
            std::fprintf(stderr, "work still blocked after 30 s\n");
            std::abort();
        }
        const long tid = thread;
        const std::optional<BlockedCall> call = tid != 0 ? blockedIn(tid) : std::nullopt;
        if (!call || !blockedOnOneOf(*call, canonical)) {
            continue;
        }
        waited = true;
        // A reader blocked in open() lets a non-blocking writer in; closing gives it EOF.
        for (const std::string& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    worker.join();
    return !waited;
}

}  // namespace qmtest
