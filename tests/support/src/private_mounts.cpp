#include "qmtest/private_mounts.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace qmtest {

bool keepMountsPrivate() {
    // Without the private propagation, mounts below a shared mount would still reach the
    // caller's namespace.
    return ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
           ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

}  // namespace qmtest
