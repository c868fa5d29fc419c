#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "qmsys/named_mutex.h"
#include "session_objects_p.h"

namespace qmsys {

std::unique_ptr<ExistenceMarker> ExistenceMarker::create(const std::string& name,
                                                         bool& alreadyExists) {
    alreadyExists = false;
    const int fd = openSessionLockFile(name, SessionObjectKind::Marker);
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
        ::close(fd);
        if (!held) {
            return nullptr;
        }
        alreadyExists = true;
        return std::unique_ptr<ExistenceMarker>(new ExistenceMarker(-1));
    }
    return std::unique_ptr<ExistenceMarker>(new ExistenceMarker(fd));
}

ExistenceMarker::~ExistenceMarker() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the last descriptor releases the lock
    }
}

}  // namespace qmsys
