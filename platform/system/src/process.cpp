// startProcess: a double fork, so that the started program is re-parented at once and never
// becomes a zombie of the host, and a close-on-exec pipe through which the children report
// the program's process id or the reason it could not be executed.
#include "qmsys/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "launch_plan_p.h"
#include "path_errors_p.h"

extern char** environ;

namespace qmsys {

namespace {

// One report on the pipe; smaller than PIPE_BUF, so writes from both children stay whole.
struct Report {
    enum Kind : std::int32_t { ProgramPid = 1, ExecError = 2, ForkError = 3 };
    std::int32_t kind;
    std::int32_t value;
};

void send(int fd, Report::Kind kind, int value) noexcept {
    const Report report{kind, value};
    while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

// Gives the program the state a freshly created Windows process has: no blocked or ignored
// signals, and no descriptors of ours beyond the standard three (CreateProcessW without
// handle inheritance). Async-signal-safe.
void resetInheritedState(int maxFd) noexcept {
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        ::sigaction(sig, &defaultAction, nullptr);  // fails harmlessly for KILL, STOP, ...
    }
    // Marking rather than closing keeps the report pipe usable until execve succeeds.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < maxFd; ++fd) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
}

int highestDescriptorBound() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > 65536) {
        return 65536;
    }
    return static_cast<int>(limit.rlim_cur);
}

// What the program's process does before it is executed. Async-signal-safe.
void detachFromCaller() noexcept {
    ::setsid();
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull >= 0) {
        ::dup2(devNull, 0);  // dup2 clears close-on-exec on the copy
    }
}

// Runs in the first child: starts the program in a grandchild, reports its pid and leaves.
[[noreturn]] void runIntermediate(const LaunchPlan& plan, bool detach, int reportFd,
                                  int maxFd) noexcept {
    // _Fork runs no atfork handlers, so it is safe in a child of a multi-threaded process.
    const pid_t program = ::_Fork();
    if (program < 0) {
        send(reportFd, Report::ForkError, errno);
        ::_exit(1);
    }
    if (program == 0) {
        resetInheritedState(maxFd);
        if (detach) {
            detachFromCaller();
        }
        send(reportFd, Report::ExecError, plan.execute(environ));
        ::_exit(127);
    }
    send(reportFd, Report::ProgramPid, program);
    ::_exit(0);
}

// Reads every report until both children have closed the pipe.
bool readReports(int fd, pid_t& programPid, int& execError, int& forkError) {
    bool sawAny = false;
    Report report{};
    std::size_t have = 0;
    for (;;) {
        const ssize_t n = ::read(fd, reinterpret_cast<char*>(&report) + have, sizeof report - have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return sawAny;
        }
        have += static_cast<std::size_t>(n);
        if (have < sizeof report) {
            continue;
        }
        have = 0;
        sawAny = true;
        switch (report.kind) {
            case Report::ProgramPid:
                programPid = report.value;
                break;
            case Report::ExecError:
                execError = report.value;
                break;
            case Report::ForkError:
                forkError = report.value;
                break;
        }
    }
}

void reap(pid_t child) {
    int status = 0;
    // ECHILD: a SIGCHLD disposition of SIG_IGN already reaped it, which is fine too.
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// Both launchers: a double fork with a report pipe (see the top of this file).
WinError launch(const LaunchPlan& plan, bool detach, int* pid) {
    if (plan.empty()) {
        return kErrorFileNotFound;
    }
    const int maxFd = highestDescriptorBound();
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return winErrorFromErrno(errno);
    }
    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        const int err = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return winErrorFromErrno(err);
    }
    if (intermediate == 0) {
        ::close(pipeFds[0]);
        runIntermediate(plan, detach, pipeFds[1], maxFd);
    }
    ::close(pipeFds[1]);
    pid_t programPid = -1;
    int execError = 0;
    int forkError = 0;
    const bool reported = readReports(pipeFds[0], programPid, execError, forkError);
    ::close(pipeFds[0]);
    reap(intermediate);

    if (!reported) {
        return kErrorGenFailure;
    }
    if (forkError != 0) {
        return winErrorFromErrno(forkError);
    }
    if (execError != 0) {
        // A missing program named by path reports 3 when a folder on the way is missing.
        const std::string& program = plan.firstProgram();
        return program.find('/') != std::string::npos ? pathError(program, execError)
                                                      : winErrorFromErrno(execError);
    }
    if (programPid <= 0) {
        return kErrorGenFailure;
    }
    if (pid) {
        *pid = programPid;
    }
    return kErrorSuccess;
}

}  // namespace

WinError startProcess(const std::string& commandLine, int* pid) {
    return launch(LaunchPlan(commandLine, std::getenv("PATH")), false, pid);
}

WinError startDetached(const std::string& program, const std::vector<std::string>& arguments,
                       int* pid) {
    return launch(LaunchPlan(program, arguments, std::getenv("PATH")), true, pid);
}

}  // namespace qmsys
