// File identities from stat, and the clock the kernel stamps files with.
#include <sys/stat.h>

#include <ctime>

#include "path_errors_p.h"
#include "posix_p.h"
#include "qmsys/file_identity.h"

namespace qmsys {

bool identifyFile(const std::string& name, FileIdentity& out, const FolderHandle* folder) {
    struct stat st {};
    if (::fstatat(lookupFolderOf(folder), name.c_str(), &st, 0) != 0) {
        // A whole path may be written in another letter case than its entries.
        const std::string resolved = isOpen(folder) ? "" : resolveMissingPath(name, errno);
        if (resolved.empty() || ::stat(resolved.c_str(), &st) != 0) {
            return false;
        }
    }
    out = identityOf(st);
    return true;
}

bool identifyFolder(const FolderHandle& folder, FileIdentity& out) {
    struct stat st {};
    if (!folder.isOpen() || ::fstat(descriptorOf(folder.handle()), &st) != 0) {
        return false;
    }
    out = identityOf(st);
    return true;
}

FileClockMark markLocalFileClock() {
    // The kernel stamps file times from the coarse clock: a change made now gets a time at or
    // after this.
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return FileClockMark{nanoseconds(ts)};
}

}  // namespace qmsys
