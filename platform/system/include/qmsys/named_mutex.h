#pragma once
// Named mutexes of the user's session. Names are shared by every process of the user whose
// XDG_RUNTIME_DIR (or fallback) is the same; the kernel frees them when the holder dies.
#include <chrono>
#include <memory>
#include <string>

namespace qmsys {

// Folder holding the lock files of the session's named objects:
// $XDG_RUNTIME_DIR/quillmont when that runtime folder exists and belongs to the user, else
// /tmp/quillmont-<uid>. Created on demand (mode 0700).
std::string sessionObjectFolder();

// An existence marker, the way a named mutex created without ownership is used to detect a
// second instance. The marker exists while an ExistenceMarker object holds it; a second
// marker of the same name, in this process or another, sees it. Markers and NamedMutex
// objects of the same name are separate objects.
class ExistenceMarker {
public:
    // Creates the marker. alreadyExists reports that another holder had it (the
    // ERROR_ALREADY_EXISTS case); the returned object then holds nothing and may be dropped.
    // Returns null only when the lock file cannot be created at all.
    static std::unique_ptr<ExistenceMarker> create(const std::string& name, bool& alreadyExists);
    ~ExistenceMarker();
    ExistenceMarker(const ExistenceMarker&) = delete;
    ExistenceMarker& operator=(const ExistenceMarker&) = delete;

private:
    explicit ExistenceMarker(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// A timed, re-entrant lock that excludes other threads of this process and other processes
// of the session. A holder that dies releases it; the next waiter then acquires it.
// Instances with the same name in one process share one underlying lock.
class NamedMutex {
public:
    explicit NamedMutex(const std::string& name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Waits at most timeout. Re-entrant: the owning thread may lock again and must unlock as
    // often. Returns false on time-out or when the lock file cannot be used.
    bool lock(std::chrono::milliseconds timeout);
    void unlock();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace qmsys
