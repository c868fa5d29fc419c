#include "forked_child.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace regtest {

namespace {
constexpr uid_t kNobody = 65534;
}

ForkedChild::ForkedChild(const std::function<int(int)>& body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0)
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
    if (status_ < 0) {
        kill();
        wait();
    }
    if (fd_ >= 0)
        ::close(fd_);
}

bool ForkedChild::readSome(int timeoutMs) {
    if (fd_ < 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return true;
    char buf[4096];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    reports_.append(buf, static_cast<std::size_t>(n));
    return true;
}

bool ForkedChild::waitFor(const std::string& text, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (reports_.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline || !readSome(50)) {
            return reports_.find(text) != std::string::npos;
        }
    }
    return true;
}

void ForkedChild::kill() {
    if (status_ < 0)
        ::kill(pid_, SIGKILL);
}

int ForkedChild::wait() {
    if (status_ >= 0)
        return status_;
    while (readSome(100)) {
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

bool dropRootPrivileges() {
    if (::geteuid() != 0)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
           ::setresuid(kNobody, kNobody, kNobody) == 0;
}

}  // namespace regtest
