#include "qmtest/child_process.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

extern char** environ;

namespace qmtest {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string s(*e);
        auto eq = s.find('=');
        vars[s.substr(0, eq)] = s;
    }
    for (const auto& s : extra) {
        vars[s.substr(0, s.find('='))] = s;
    }
    std::vector<std::string> out;
    for (auto& [k, v] : vars) {
        out.push_back(v);
    }
    return out;
}

// argv and our environment with extra on top, as the NULL-ended arrays exec takes.
struct ExecArrays {
    ExecArrays(const std::vector<std::string>& args, const std::vector<std::string>& extra)
        : env(mergedEnvironment(extra)) {
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
    }
    std::vector<std::string> env;
    std::vector<char*> argv, envp;
};

struct Spawned {
    int pid;
    int in;
    int out;
    int err;
};

// Starts argv with three pipes. The child gets its own process group so that a kill reaches
// whatever it starts in turn.
Spawned spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
              bool obeyFilePermissions = false, bool nullInput = false) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) {
        throw std::runtime_error("pipe failed");
    }
    ExecArrays exec(argv, extraEnv);

    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        setpgid(0, 0);
        if (obeyFilePermissions) {
            // Out of the bounding set, the capabilities are not granted by the exec.
            prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
            prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
        }
        if (nullInput) {
            const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
            dup2(null, 0);
        } else {
            dup2(in[0], 0);
        }
        dup2(out[1], 1);
        dup2(err[1], 2);
        execve(exec.argv[0], exec.argv.data(), exec.envp.data());
        dprintf(2, "exec %s: %s\n", exec.argv[0], strerror(errno));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    return {pid, in[1], out[0], err[0]};
}

// Reaps pid, killing it with its process group once deadline has passed. A child that has
// closed its output can still be running (or be stopped), so the wait itself is bounded too.
// Returns the raw status; timedOut is set when the kill was needed.
int reap(pid_t pid, Clock::time_point deadline, bool& timedOut) {
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            return status;
        }
        if (r == 0 && Clock::now() >= deadline && !timedOut) {
            timedOut = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
        }
        if (r == 0) {
            usleep(timedOut ? 1000 : 5000);
        }
    }
}

int decodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    signal(SIGPIPE, SIG_IGN);
    Spawned s = spawn(argv, options.extraEnv, options.obeyFilePermissions, options.nullInput);
    ProcessResult result;
    size_t written = 0;
    if (options.input.empty() || options.nullInput) {
        close(s.in);
        s.in = -1;
    }
    const auto deadline = Clock::now() + options.timeout;
    int openOut = 2;
    while (openOut > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(-s.pid, SIGKILL);
            kill(s.pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{s.out, POLLIN, 0}, {s.err, POLLIN, 0}, {s.in, POLLOUT, 0}};
        int n = poll(fds, s.in >= 0 ? 3 : 2, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[65536];
                ssize_t r = read(fds[i].fd, buf, sizeof buf);
                if (r > 0) {
                    (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(r));
                } else {
                    close(fds[i].fd);
                    (i == 0 ? s.out : s.err) = -1;
                    --openOut;
                }
            }
        }
        if (s.in >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t w = write(s.in, options.input.data() + written, options.input.size() - written);
            if (w > 0)
                written += static_cast<size_t>(w);
            if (w < 0 || written == options.input.size()) {
                close(s.in);
                s.in = -1;
            }
        }
    }
    for (int fd : {s.in, s.out, s.err}) {
        if (fd >= 0)
            close(fd);
    }
    result.exitCode = decodeStatus(reap(s.pid, deadline, result.timedOut));
    return result;
}

pid_t spawnWithStreams(const std::vector<std::string>& argv,
                       const std::vector<std::string>& extraEnv, std::array<int, 3> streams) {
    ExecArrays exec(argv, extraEnv);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int i = 0; i < 3; ++i) {
        const int fd = streams[static_cast<std::size_t>(i)];
        if (fd < 0) {
            posix_spawn_file_actions_addclose(&actions, i);
        } else {
            posix_spawn_file_actions_adddup2(&actions, fd, i);
        }
    }
    pid_t pid = -1;
    const int error =
        posix_spawn(&pid, exec.argv[0], &actions, nullptr, exec.argv.data(), exec.envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("posix_spawn " + argv[0] + ": " + strerror(error));
    }
    return pid;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const ProcessOptions& options) {
    signal(SIGPIPE, SIG_IGN);
    Spawned s = spawn(argv, options.extraEnv, options.obeyFilePermissions, options.nullInput);
    deadline_ = Clock::now() + options.timeout;
    pid_ = s.pid;
    inFd_ = s.in;
    outFd_ = s.out;
    close(s.err);
    if (options.nullInput) {
        closeInput();
    } else if (!options.input.empty()) {
        writeInput(options.input);
    }
}

BackgroundProcess::~BackgroundProcess() {
    if (!reaped_) {
        deadline_ = Clock::now();  // killed anyway: no reason to wait for the time-out
        kill(SIGKILL);
        wait();
    }
    if (inFd_ >= 0)
        close(inFd_);
    if (outFd_ >= 0)
        close(outFd_);
}

void BackgroundProcess::drain(std::chrono::milliseconds waitFor) {
    if (outFd_ < 0)
        return;
    pollfd fd{outFd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(waitFor.count())) > 0) {
        char buf[4096];
        ssize_t r = read(outFd_, buf, sizeof buf);
        if (r > 0) {
            out_.append(buf, static_cast<size_t>(r));
        } else {
            close(outFd_);
            outFd_ = -1;
        }
    }
}

bool BackgroundProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (out_.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || outFd_ < 0)
            return out_.find(text) != std::string::npos;
        drain(std::min(left, std::chrono::milliseconds(100)));
    }
    return true;
}

bool BackgroundProcess::writeInput(const std::string& text) {
    // A child that reads nothing, or waits for us to read its output first, must not hold the
    // test up past the child's time-out: wait for room in the pipe (reading the output
    // meanwhile), and write at most what the room promises, so that the write never blocks.
    size_t done = 0;
    while (inFd_ >= 0 && done < text.size()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fds[2] = {{inFd_, POLLOUT, 0}, {outFd_, POLLIN, 0}};
        if (poll(fds, outFd_ >= 0 ? 2 : 1, static_cast<int>(left.count())) < 0 && errno != EINTR)
            return false;
        if (outFd_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            drain(std::chrono::milliseconds(0));
        if (fds[0].revents & (POLLERR | POLLHUP))
            return false;
        if (fds[0].revents & POLLOUT) {
            const ssize_t w =
                write(inFd_, text.data() + done, std::min<size_t>(PIPE_BUF, text.size() - done));
            if (w < 0 && errno != EINTR && errno != EAGAIN)
                return false;
            if (w > 0)
                done += static_cast<size_t>(w);
        }
    }
    return done == text.size();
}

void BackgroundProcess::closeInput() {
    if (inFd_ >= 0) {
        close(inFd_);
        inFd_ = -1;
    }
}

void BackgroundProcess::kill(int sig) {
    if (!reaped_) {
        ::kill(-pid_, sig);
        ::kill(pid_, sig);
    }
}

std::string BackgroundProcess::output() const {
    return out_;
}

int BackgroundProcess::wait() {
    if (!reaped_) {
        // Output is collected until the child closes it; past the deadline the child (and its
        // group, which may hold the pipe too) is killed, and what is left is read at once.
        while (outFd_ >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
            if (left.count() <= 0) {
                if (!timedOut_) {
                    timedOut_ = true;
                    kill(SIGKILL);
                }
                // A descendant that left the group may keep the pipe open: stop reading soon.
                if (left < -std::chrono::milliseconds(2000)) {
                    close(outFd_);
                    outFd_ = -1;
                    break;
                }
                drain(std::chrono::milliseconds(10));
            } else {
                drain(std::min(left, std::chrono::milliseconds(100)));
            }
        }
        status_ = decodeStatus(reap(pid_, deadline_, timedOut_));
        reaped_ = true;
    }
    return status_;
}

}  // namespace qmtest
