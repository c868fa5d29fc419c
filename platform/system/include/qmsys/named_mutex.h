#pragma once
// Named mutexes of the user's session. Names are shared by every process of the user whose
// XDG_RUNTIME_DIR (or fallback; on Windows: of the session, with the same XDG_RUNTIME_DIR or
// none) is the same; the kernel frees them when the holder dies.
#include <chrono>
#include <memory>
#include <string>

#include "qmsys/handle.h"

namespace qmsys {

// Folder holding the lock files of the session's named objects: the first of
// $XDG_RUNTIME_DIR/quillmont, ${TMPDIR:-/tmp}/quillmont-<uid> and
// $XDG_STATE_HOME/quillmont-session that is a real folder (not a link) of this user with mode
// 0700, created on demand. Empty when none qualifies: another local user may have planted
// the shared ones. Empty on Windows, whose named objects are kernel objects of the session
// (the Local\ namespace), with no file behind them.
std::string sessionObjectFolder();

// An existence marker, the way a named mutex created without ownership is used to detect a
// second instance. The marker exists while an ExistenceMarker object holds it; a second
// marker of the same name, in this process or another, sees it. Markers and NamedMutex
// objects of the same name are separate objects.
class ExistenceMarker {
public:
    // Creates the marker. alreadyExists reports that another holder had it (the
    // ERROR_ALREADY_EXISTS case); the returned object then holds nothing and may be dropped.
    // Returns null when the lock file cannot be had at all (no private session folder, for
    // one); why, when given, then says what stood in the way. Callers that guard a single
    // instance must treat that as "another may exist".
    static std::unique_ptr<ExistenceMarker> create(const std::string& name, bool& alreadyExists,
                                                   std::string* why = nullptr);
    ~ExistenceMarker();
    ExistenceMarker(const ExistenceMarker&) = delete;
    ExistenceMarker& operator=(const ExistenceMarker&) = delete;

private:
    explicit ExistenceMarker(NativeHandle held) : held_(held) {}
    // What holds the marker: the locked file's descriptor, or the mutex on Windows.
    NativeHandle held_ = kNoHandle;
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
    // often. Returns false on time-out. When the lock file cannot be had (no private session
    // folder), the lock still orders the threads of this process, so the process keeps
    // working; other processes are then not excluded.
    bool lock(std::chrono::milliseconds timeout);
    void unlock();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace qmsys
