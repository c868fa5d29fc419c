// Named objects of the session as Windows has them: mutexes in the session's Local\ namespace.
// The kernel makes a mutex re-entrant for its owning thread, excludes every other thread and
// process, and abandons it when its owner dies, which the next waiter gets as acquired.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "qmsys/named_mutex.h"
#include "session_objects_p.h"
#include "win32_p.h"

namespace qmsys {

namespace {

// The kernel name of a named object: markers and mutexes of one name are separate objects. A
// relocated session (XDG_RUNTIME_DIR set, as tests and the demo set it on every system) has
// names of its own, so that it never meets the user's real objects or another relocation's.
std::wstring objectName(const std::string& name, SessionObjectKind kind) {
    std::string object = sessionLockFileName(name, kind);
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        char relocation[24];
        std::snprintf(relocation, sizeof relocation, "@%016llx",
                      static_cast<unsigned long long>(fnv1a(runtime)));
        object += relocation;
    }
    return L"Local\\" + wide(object);
}

}  // namespace

std::string sessionObjectFolder() {
    return {};  // kernel objects: there are no files
}

std::unique_ptr<ExistenceMarker> ExistenceMarker::create(const std::string& name,
                                                         bool& alreadyExists, std::string* why) {
    alreadyExists = false;
    const HANDLE mutex =
        ::CreateMutexW(nullptr, FALSE, objectName(name, SessionObjectKind::Marker).c_str());
    if (mutex == nullptr) {
        if (why) {
            *why = "the marker cannot be created: error " + std::to_string(::GetLastError());
        }
        return nullptr;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        alreadyExists = true;
        return std::unique_ptr<ExistenceMarker>(new ExistenceMarker(kNoHandle));
    }
    return std::unique_ptr<ExistenceMarker>(new ExistenceMarker(nativeOf(mutex)));
}

ExistenceMarker::~ExistenceMarker() {
    if (held_ != kNoHandle) {
        ::CloseHandle(reinterpret_cast<HANDLE>(held_));  // the last handle ends the marker
    }
}

struct NamedMutex::Shared {
    explicit Shared(HANDLE m) : mutex(m) {}
    ~Shared() { ::CloseHandle(mutex); }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    // When the session's mutex cannot be had (an object of another user under its name), the
    // process uses one unnamed mutex per name: it still orders the threads of this process.
    static std::shared_ptr<Shared> forProcess(const std::string& name);

    const HANDLE mutex;
};

std::shared_ptr<NamedMutex::Shared> NamedMutex::Shared::forProcess(const std::string& name) {
    static auto* guard = new std::mutex;  // never destroyed: see the POSIX registry
    static auto* mutexes = new std::map<std::string, std::weak_ptr<Shared>>;
    std::lock_guard lock(*guard);
    auto& slot = (*mutexes)[name];
    auto shared = slot.lock();
    if (!shared) {
        const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, nullptr);
        shared = std::make_shared<Shared>(mutex);
        slot = shared;
    }
    return shared;
}

NamedMutex::NamedMutex(const std::string& name) {
    const HANDLE mutex =
        ::CreateMutexW(nullptr, FALSE, objectName(name, SessionObjectKind::Mutex).c_str());
    shared_ = mutex != nullptr ? std::make_shared<Shared>(mutex) : Shared::forProcess(name);
}

NamedMutex::~NamedMutex() = default;

bool NamedMutex::lock(std::chrono::milliseconds timeout) {
    const auto ms = std::max<std::chrono::milliseconds::rep>(
        0, std::min<std::chrono::milliseconds::rep>(timeout.count(), INFINITE - 1));
    const DWORD result = ::WaitForSingleObject(shared_->mutex, static_cast<DWORD>(ms));
    // WAIT_ABANDONED: the holder died holding it, and the mutex is now this thread's.
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void NamedMutex::unlock() {
    ::ReleaseMutex(shared_->mutex);  // fails, changing nothing, for a thread that does not own it
}

}  // namespace qmsys
