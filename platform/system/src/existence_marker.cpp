#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "qmsys/named_mutex.h"
#include "session_objects_p.h"

namespace qmsys {

std::unique_ptr<ExistenceMarker> ExistenceMarker::create(const std::string& name,
                                                         bool& alreadyExists, std::string* why) {
    alreadyExists = false;
    const int fd = openSessionLockFile(name, SessionObjectKind::Marker, why);
    if (fd < 0) {
        return nullptr;
    }
    // The lock belongs to this open file description, so even a second marker of the same
    // name in this process sees the first; the kernel drops it when the holder dies.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        const int lockErrno = errno;
        ::close(fd);
        if (!held) {
            if (why) {
                *why = std::string("the marker cannot be locked: ") + std::strerror(lockErrno);
            }
            return nullptr;
        }
        alreadyExists = true;
        return std::unique_ptr<ExistenceMarker>(new ExistenceMarker(kNoHandle));
    }
    return std::unique_ptr<ExistenceMarker>(new ExistenceMarker(fd));
}

ExistenceMarker::~ExistenceMarker() {
    if (held_ != kNoHandle) {
        ::close(static_cast<int>(held_));  // closing the last descriptor releases the lock
    }
}

}  // namespace qmsys
