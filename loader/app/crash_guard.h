#pragma once
// Keeps one module that brought the host down at start-up from doing it again at once.
//
// Before each module is brought up, a marker naming it is written in the user's state folder
// (the file's creation is synced once, its content is not: see open()); once the module is up,
// the marker is emptied. A record ends with a NUL byte and a NUL in the first byte is the empty
// marker, so nothing is ever truncated; the marker file is mapped into memory, so each step is a
// few stores into its page and no system call (a file that cannot be mapped is written instead).
// A marker that still names a module at the next start means the host died while bringing that
// module up: that start skips the module and tells the user once. Reading the marker consumes it,
// so the start after that brings the module up again, and the user can load it in the dialog at
// any time.
//
// Failures to write the marker are silent: the guard is a convenience and never keeps a
// module from starting.
#include <optional>
#include <string>

namespace qm {

class CrashGuard {
public:
    struct Module {
        std::string key;
        std::string displayName;
    };

    // folder: where the marker lives; created when missing.
    explicit CrashGuard(std::string folder);
    // The marker in the user's state folder ($XDG_STATE_HOME/quillmont).
    static std::string defaultFolder();
    ~CrashGuard();
    CrashGuard(const CrashGuard&) = delete;
    CrashGuard& operator=(const CrashGuard&) = delete;

    // The module the last start was bringing up when the host died, if any. The marker is
    // removed, so this answers once.
    std::optional<Module> takeInterrupted();

    // Names module in the marker before it is brought up.
    void begin(const Module& module);
    // The module is up: the marker names nobody.
    void end();

    const std::string& file() const { return file_; }

private:
    // Creates the marker and maps it; fd_ stays -1 when it cannot be created.
    void open();

    std::string folder_;
    std::string file_;
    int fd_ = -1;
    char* map_ = nullptr;  // the marker's page, or null: written with pwrite
};

}  // namespace qm
