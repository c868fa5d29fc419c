#include "qmtest/forked_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace qmtest {

ForkedChild::ForkedChild(const std::function<int(int reportFd)>& body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0 || (pid_ = ::fork()) < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::close(fds[0]);
        int code = 99;
        try {
            code = body(fds[1]);
        } catch (...) {
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    fd_ = fds[0];
}

ForkedChild::~ForkedChild() {
    kill();
    wait();
}

bool ForkedChild::waitFor(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (reports_.find(text) == std::string::npos && readSome(deadline)) {
    }
    return reports_.find(text) != std::string::npos;
}

void ForkedChild::kill() {
    if (status_ < 0)
        ::kill(pid_, SIGKILL);
}

int ForkedChild::wait(std::chrono::milliseconds timeout) {
    if (status_ < 0) {
        const auto deadline = Clock::now() + timeout;
        while (readSome(deadline)) {
        }
        int status = 0;
        for (pid_t r; (r = ::waitpid(pid_, &status, WNOHANG)) != pid_;) {
            if (r < 0 && errno != EINTR) {
                break;
            }
            if (Clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
            }
            ::usleep(1000);
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        ::close(fd_);
    }
    return status_;
}

bool ForkedChild::readSome(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    pollfd fd{fd_, POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (ready <= 0) {
        return ready < 0 && errno == EINTR;
    }
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0)
        reports_.append(buf, static_cast<std::size_t>(n));
    return n > 0;
}

}  // namespace qmtest
