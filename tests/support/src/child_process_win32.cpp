// Child processes on Windows: CreateProcessW with pipes for the standard streams, and a thread
// per output pipe that collects what the child writes (Windows cannot wait on a pipe's data
// with a time-out).
#include "qmtest/win32.h"

#include <condition_variable>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "qmsys/process.h"
#include "qmsys/text.h"
#include "qmtest/child_process.h"

namespace qmtest {

namespace {

using Clock = std::chrono::steady_clock;

// Ours (as getenv sees it, which the child must see too) with extra on top, as an environment
// block: "NAME=value" entries, each ended by a NUL, then one more. Windows compares names
// without regard to case.
std::wstring environmentBlock(const std::vector<std::string>& extra) {
    std::map<std::wstring, std::wstring> vars;
    const auto add = [&vars](const std::wstring& entry) {
        // Entries of drives' working folders ("=C:=C:\...") start with '='.
        const std::size_t eq = entry.find(L'=', 1);
        std::wstring key = entry.substr(0, eq);
        for (wchar_t& c : key) {
            c = static_cast<wchar_t>(std::towupper(c));
        }
        vars[key] = entry;
    };
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e; e += std::wcslen(e) + 1) {
            add(e);
        }
        ::FreeEnvironmentStringsW(block);
    }
    // The C run-time's copy holds what _putenv_s set (ScopedEnv).
    for (char** e = _environ; e && *e; ++e) {
        add(wide(*e));
    }
    for (const std::string& entry : extra) {
        add(wide(entry));
    }
    std::wstring out;
    for (const auto& [key, entry] : vars) {
        out += entry;
        out += L'\0';
    }
    out += L'\0';
    return out;
}

struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};

// A pipe whose child end (childReads: the read end) is inherited.
Pipe makePipe(bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Pipe pipe;
    if (!::CreatePipe(&pipe.read, &pipe.write, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    ::SetHandleInformation(childReads ? pipe.write : pipe.read, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

// Reads a pipe until its writers have all closed it, into text. The reading thread owns the
// pipe's end and is never waited for: a descendant of the child may hold the pipe open for as
// long as it lives, and the waits below end at their deadlines whatever it does.
class Collector {
public:
    explicit Collector(HANDLE pipe) : state_(std::make_shared<State>()) {
        std::thread([state = state_, pipe] { state->run(pipe); }).detach();
    }
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    bool waitFor(const std::string& text, Clock::time_point deadline) {
        std::unique_lock lock(state_->mutex);
        return state_->changed.wait_until(lock, deadline, [&] {
            return state_->text.find(text) != std::string::npos || state_->ended;
        }) && state_->text.find(text) != std::string::npos;
    }
    std::string text() const {
        std::lock_guard lock(state_->mutex);
        return state_->text;
    }
    // Waits until every writer has closed the pipe, or deadline; whether they all have. What a
    // child wrote just before it ended may still be in the pipe when the child's end is seen.
    bool waitForEnd(Clock::time_point deadline) {
        std::unique_lock lock(state_->mutex);
        return state_->changed.wait_until(lock, deadline, [&] { return state_->ended; });
    }

private:
    struct State {
        void run(HANDLE pipe) {
            char buffer[4096];
            DWORD n = 0;
            // A Windows program's text output ends its lines with "\r\n"; the tests see '\n',
            // as on Linux, so that one expectation serves both. A '\r' at the end of one read
            // waits for the next to tell whether a '\n' follows it.
            bool carriageReturn = false;
            while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
                std::lock_guard lock(mutex);
                for (DWORD i = 0; i < n; ++i) {
                    if (carriageReturn && buffer[i] != '\n') {
                        text += '\r';
                    }
                    carriageReturn = buffer[i] == '\r';
                    if (!carriageReturn) {
                        text += buffer[i];
                    }
                }
                changed.notify_all();
            }
            ::CloseHandle(pipe);
            std::lock_guard lock(mutex);
            if (carriageReturn) {
                text += '\r';
            }
            ended = true;
            changed.notify_all();
        }
        std::mutex mutex;
        std::condition_variable changed;
        std::string text;
        bool ended = false;
    };
    std::shared_ptr<State> state_;
};

struct Started {
    PROCESS_INFORMATION info{};
    HANDLE in = nullptr;   // our end of the child's standard input
    HANDLE out = nullptr;  // our end of its standard output
    HANDLE err = nullptr;  // and of its standard error
};

Started start(const std::vector<std::string>& argv, const ProcessOptions& options) {
    Pipe in = makePipe(true);
    if (options.nullInput) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        ::CloseHandle(in.read);
        in.read = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
    }
    Pipe out = makePipe(false);
    Pipe err = makePipe(false);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.read;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    std::wstring line = wide(qmsys::joinCommandLine(argv));
    std::wstring environment = environmentBlock(options.extraEnv);
    Started started;
    // No application name: the program is read from the line, with ".exe" added as needed.
    const BOOL created =
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                         environment.data(), nullptr, &startup, &started.info);
    const DWORD error = ::GetLastError();
    ::CloseHandle(in.read);
    ::CloseHandle(out.write);
    ::CloseHandle(err.write);
    if (!created) {
        ::CloseHandle(in.write);
        ::CloseHandle(out.read);
        ::CloseHandle(err.read);
        throw std::runtime_error("cannot start " + argv[0] + ": error " + std::to_string(error));
    }
    ::CloseHandle(started.info.hThread);
    started.in = in.write;
    started.out = out.read;
    started.err = err.read;
    return started;
}

bool writeAllTo(HANDLE pipe, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD n = 0;
        if (!::WriteFile(pipe, text.data() + done, static_cast<DWORD>(text.size() - done), &n,
                         nullptr)) {
            return false;  // the child no longer reads
        }
        done += n;
    }
    return true;
}

// Waits for the process until deadline, then ends it with 137 (as SIGKILL reads on POSIX).
int finish(HANDLE process, Clock::time_point deadline, bool& timedOut) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (::WaitForSingleObject(process, static_cast<DWORD>(std::max<long long>(0, left.count()))) !=
        WAIT_OBJECT_0) {
        timedOut = true;
        ::TerminateProcess(process, 137);
        ::WaitForSingleObject(process, INFINITE);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    Started started = start(argv, options);
    const auto deadline = Clock::now() + options.timeout;
    ProcessResult result;
    {
        Collector out(started.out);
        Collector err(started.err);
        std::thread input([&] {
            writeAllTo(started.in, options.input);
            ::CloseHandle(started.in);
        });
        result.exitCode = finish(started.info.hProcess, deadline, result.timedOut);
        input.join();
        // A descendant may hold the pipes open: as on POSIX, the output is read until every
        // writer is gone or the time-out has passed.
        const auto end = std::max(deadline, Clock::now() + std::chrono::seconds(2));
        if (!out.waitForEnd(end) || !err.waitForEnd(end)) {
            result.timedOut = true;
        }
        result.out = out.text();
        result.err = err.text();
    }
    ::CloseHandle(started.info.hProcess);
    return result;
}

struct BackgroundProcess::Native {
    HANDLE process = nullptr;
    HANDLE in = nullptr;
    std::unique_ptr<Collector> out;
};

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const ProcessOptions& options)
    : native_(std::make_unique<Native>()) {
    Started started = start(argv, options);
    ::CloseHandle(started.err);
    deadline_ = Clock::now() + options.timeout;
    pid_ = static_cast<int>(started.info.dwProcessId);
    native_->process = started.info.hProcess;
    native_->in = started.in;
    native_->out = std::make_unique<Collector>(started.out);
    if (options.nullInput) {
        closeInput();
    } else if (!options.input.empty()) {
        writeInput(options.input);
    }
}

BackgroundProcess::~BackgroundProcess() {
    if (!reaped_) {
        kill();
        wait();
    }
    closeInput();
    native_->out.reset();
    ::CloseHandle(native_->process);
}

bool BackgroundProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    return native_->out->waitFor(text, Clock::now() + timeout);
}

bool BackgroundProcess::writeInput(const std::string& text) {
    if (!native_->in) {
        return false;
    }
    // A pipe's write waits until the child reads, and cannot wait with a time-out: it runs on
    // a thread of its own, and a child that has not read it all by its time-out is ended, which
    // fails the write.
    auto written = std::async(std::launch::async, writeAllTo, native_->in, text);
    if (written.wait_until(deadline_) != std::future_status::ready) {
        kill();
    }
    return written.get();
}

void BackgroundProcess::closeInput() {
    if (native_->in) {
        ::CloseHandle(native_->in);
        native_->in = nullptr;
    }
}

void BackgroundProcess::kill(int signal) {
    if (!reaped_) {
        ::TerminateProcess(native_->process, static_cast<UINT>(128 + signal));
    }
}

int BackgroundProcess::wait() {
    if (!reaped_) {
        status_ = finish(native_->process, deadline_, timedOut_);
        reaped_ = true;
        // What the child wrote just before it ended may still be in the pipe; a descendant that
        // holds the pipe open is not waited for long.
        native_->out->waitForEnd(Clock::now() + std::chrono::seconds(2));
    }
    return status_;
}

std::string BackgroundProcess::output() const {
    return native_->out->text();
}

}  // namespace qmtest
