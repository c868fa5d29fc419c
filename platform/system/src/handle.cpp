#include "qmsys/handle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "path_errors_p.h"
#include "posix_p.h"

namespace qmsys {

bool FileHandle::close() noexcept {
    if (!valid()) {
        return true;
    }
    const int fd = static_cast<int>(release());
    // Linux releases the descriptor even when close is interrupted: never close it twice.
    return ::close(fd) == 0 || errno == EINTR;
}

FolderHandle FolderHandle::open(const std::string& folder) {
    // O_PATH: only a handle to look names up in, so a folder that may not be listed (search
    // permission only) still opens, and nothing is read through it.
    int fd;
    do {
        fd = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (const std::string resolved = resolveMissingPath(folder, errno); !resolved.empty()) {
            do {
                fd = ::open(resolved.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            } while (fd < 0 && errno == EINTR);
        }
    }
    return FolderHandle(FileHandle(fd));
}

}  // namespace qmsys
