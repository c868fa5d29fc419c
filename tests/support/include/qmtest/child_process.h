#pragma once
#if !defined(_WIN32)
#include <sys/types.h>

#include <array>
#endif
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace qmtest {

// What a child wrote, as text: on Windows each "\r\n" it wrote is read as '\n'.
struct ProcessResult {
    int exitCode = -1;  // exit status, or 128 + signal when killed by a signal
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::vector<std::string> extraEnv;  // "NAME=value", added to (and overriding) ours
    std::string input;                  // written to the child's standard input, then closed
    // Standard input is the null device (/dev/null, NUL) instead of a pipe, as a desktop
    // launcher or the Start menu starts a program; input is then not written.
    bool nullInput = false;
    // The longest the child may run, counted from its start: a child still running then is
    // killed (SIGKILL, with its process group) by whoever waits for it.
    std::chrono::milliseconds timeout{30000};
    // File permissions hold for the child even when it runs as root: it starts without the
    // capabilities that let root read, write or search past them (a file of root's with no
    // permissions is then closed to root too).
    bool obeyFilePermissions = false;
};

// Runs argv[0] (a path) with argv, waits for it and collects its output. A child still
// running at the time-out is killed.
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

#if !defined(_WIN32)
// Starts argv[0] (a path) through posix_spawn, so that the threaded test process is never
// forked, with extraEnv added as runProcess adds it. The child's descriptor i is ours
// streams[i], or closed where that is -1. Returns the pid, for waitForExit.
pid_t spawnWithStreams(const std::vector<std::string>& argv,
                       const std::vector<std::string>& extraEnv, std::array<int, 3> streams);
#endif

// A child left running in the background, killed (SIGKILL) and reaped on destruction, or
// by wait() once its time-out has passed.
class BackgroundProcess {
public:
    BackgroundProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    int pid() const { return pid_; }
    // Waits until the child's standard output contains text, or the time-out passes.
    // (On Windows, kill() ends the child whatever signal it names, with exit code 128 + it.)
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    // Writes text to the child's standard input; false when it could not all be written before
    // the child's time-out (or the child closed its input).
    bool writeInput(const std::string& text);
    void closeInput();
    void kill(int signal = 9);
    // Waits for exit, at most until the time-out, then kills the child; returns the exit code
    // (128 + signal for a signal, so 137 after the time-out).
    int wait();
    // Whether wait() had to kill the child because its time-out passed.
    bool timedOut() const { return timedOut_; }
    std::string output() const;

private:
#if defined(_WIN32)
    struct Native;  // the process, its input pipe and the thread that collects its output
    std::unique_ptr<Native> native_;
    int pid_ = -1;
#else
    void drain(std::chrono::milliseconds wait);
    int pid_ = -1;
    int inFd_ = -1;
    int outFd_ = -1;
    std::string out_;
#endif
    std::chrono::steady_clock::time_point deadline_;
    bool reaped_ = false;
    bool timedOut_ = false;
    int status_ = -1;
};

}  // namespace qmtest
