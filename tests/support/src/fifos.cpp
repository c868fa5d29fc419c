// FIFOs in place of files, for the tests of readers that must never wait on one (POSIX).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <thread>

#include "qmtest/files.h"

namespace qmtest {

void makeFifo(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (::mkfifo(path.c_str(), 0644) != 0) {
        throw std::runtime_error("cannot make FIFO " + path);
    }
}

bool returnsWithoutWaitingOnFifos(const std::function<void()>& work,
                                  const std::vector<std::string>& fifos,
                                  std::chrono::milliseconds bound) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread worker([&] {
        work();
        done.set_value();
    });
    const bool inTime = finished.wait_for(bound) == std::future_status::ready;
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        // Stuck in something no FIFO releases: the thread cannot be stopped or joined, so the
        // test ends here, loudly, rather than at its time-out.
        if (std::chrono::steady_clock::now() > giveUp) {
            std::fprintf(stderr, "work still blocked %lld ms after opening every FIFO\n",
                         static_cast<long long>(bound.count()));
            std::abort();
        }
        // A reader blocked in open() lets a non-blocking writer in; closing gives it EOF.
        for (const std::string& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    worker.join();
    return inTime;
}

}  // namespace qmtest
