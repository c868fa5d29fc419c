// Test helper: takes a session object in its own process so that tests can see what other
// processes see.
//   qm_lock_holder marker NAME          prints "held" (or "exists", exit 3) and keeps the
//                                        marker until standard input ends
//   qm_lock_holder mutex NAME TIMEOUT   waits up to TIMEOUT ms, prints "held" (or "timeout",
//                                        exit 4), holds the mutex until a line or the end of
//                                        standard input, then releases it and prints "released"
//   qm_lock_holder file PATH            waits for PATH's LockedFile lock, prints "held" and keeps
//                                        it until standard input ends
//   qm_lock_holder input                prints what standard input is (qmsys::standardInputKind)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qmsys/files.h"
#include "qmsys/named_mutex.h"

namespace {

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

// Returns after one line or the end of standard input.
void waitForInput() {
    char c;
    while (::read(0, &c, 1) == 1 && c != '\n') {
    }
}

int holdMarker(const std::string& name) {
    bool alreadyExists = false;
    auto marker = qmsys::ExistenceMarker::create(name, alreadyExists);
    if (!marker) {
        say("error");
        return 2;
    }
    if (alreadyExists) {
        say("exists");
        return 3;
    }
    say("held");
    waitForInput();
    return 0;
}

int holdMutex(const std::string& name, int timeoutMs) {
    qmsys::NamedMutex mutex(name);
    if (!mutex.lock(std::chrono::milliseconds(timeoutMs))) {
        say("timeout");
        return 4;
    }
    say("held");
    waitForInput();
    mutex.unlock();
    say("released");
    return 0;
}

int holdFile(const std::string& path) {
    qmsys::WinError error = qmsys::kErrorSuccess;
    qmsys::LockedFile file =
        qmsys::LockedFile::lock(path, qmsys::LockedFile::Access::Append, error);
    if (!file.isLocked()) {
        say("error");
        return 2;
    }
    say("held");
    waitForInput();
    return 0;
}

int sayInput() {
    static const char* const names[] = {"closed", "terminal", "pipe", "file", "socket", "device"};
    say(names[static_cast<int>(qmsys::standardInputKind())]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc > 2 ? argv[1] : "";
    if (kind == "marker") {
        return holdMarker(argv[2]);
    }
    if (kind == "file") {
        return holdFile(argv[2]);
    }
    if (argc > 1 && std::string(argv[1]) == "input") {
        return sayInput();
    }
    if (kind == "mutex" && argc > 3) {
        return holdMutex(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr,
                 "usage: qm_lock_holder marker NAME | mutex NAME TIMEOUT_MS | file PATH | input\n");
    return 64;
}
